// The About box: the plug-in's title and author credit and an "OK" button in
// a small modal window.
#include "editor/editor_win.h"

#include "editor/dialogs.h"
#include "editor/modal_win.h"
#include "ui/toolkit_win.h"

namespace editor {

namespace {

constexpr int ABOUT_OK = 1;
constexpr int ABOUT_TITLE = 2;
constexpr int ABOUT_CREDIT = 3;

} // namespace

void about(const Text& title, const Text& credit) {
    if (dialogOpen()) {
        return;
    }
    HWND owner = GetActiveWindow(); // may be null: then the box shows at 0, 0
    if (!UiOpenWindow(DIALOG_WINDOW, 0, 0, 400, 150, u"About", UI_FLAGS_DIALOG, owner)) {
        return;
    }
    UiAddLabel(ABOUT_TITLE, 0, 35, 400, 20, title, UI_ALIGN_CENTRE);
    UiAddLabel(ABOUT_CREDIT, 0, 65, 400, 20, credit, UI_ALIGN_CENTRE);
    UiAddButton(ABOUT_OK, 150, 110, 100, 25, u"OK");
    // Its only control that reports anything is "OK"; the loop skips the
    // events of canvas windows that waited in the queue.
    {
        ModalLoop loop;
        loop.next();
    }
    UiCloseWindow(DIALOG_WINDOW);
}

} // namespace editor
