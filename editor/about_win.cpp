// The About box: the plug-in's title and author credit and an "OK" button in
// a small modal window.
#include "editor/editor_win.h"

#include "plugin/actions.h"
#include "ui/toolkit_win.h"

namespace editor {

namespace {

constexpr int ABOUT_WINDOW = 0;
constexpr int ABOUT_OK = 1;
constexpr int ABOUT_TITLE = 2;
constexpr int ABOUT_CREDIT = 3;

} // namespace

void about() {
    HWND owner = GetActiveWindow(); // may be null: then the box shows at 0, 0
    if (!UiOpenWindow(ABOUT_WINDOW, 0, 0, 400, 150, u"About", UI_FLAGS_DIALOG, owner)) {
        return;
    }
    UiAddLabel(ABOUT_TITLE, 0, 35, 400, 20, PLUGIN_TITLE, UI_ALIGN_CENTRE);
    UiAddLabel(ABOUT_CREDIT, 0, 65, 400, 20, PLUGIN_AUTHOR, UI_ALIGN_CENTRE);
    UiAddButton(ABOUT_OK, 150, 110, 100, 25, u"OK");
    // Only the box's own events end it: a canvas window's events that
    // waited in the queue (a click nobody read) must not dismiss it unseen.
    for (;;) {
        const int code = UiWaitEvent();
        if ((code == UI_EVENT_CONTROL || code == UI_EVENT_CLOSE) &&
            UiEventWindow() == ABOUT_WINDOW) {
            break;
        }
    }
    UiCloseWindow(ABOUT_WINDOW);
}

} // namespace editor
