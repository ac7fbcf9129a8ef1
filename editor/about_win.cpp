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
    if (!openDialog(u"About", 400, 150)) {
        return;
    }
    // kind, number, place, text, alignment
    const ui::ControlArgs controls[] = {
        {UI_KIND_LABEL, ABOUT_TITLE, {0, 35, 400, 20}, title, UI_ALIGN_CENTRE},
        {UI_KIND_LABEL, ABOUT_CREDIT, {0, 65, 400, 20}, credit, UI_ALIGN_CENTRE},
        {UI_KIND_BUTTON, ABOUT_OK, {150, 110, 100, 25}, u"OK"},
    };
    for (const ui::ControlArgs& control : controls) {
        ui::addControl(control);
    }
    // Its only control that reports anything is "OK"; the loop skips the
    // events of canvas windows that waited in the queue.
    {
        ModalLoop loop;
        loop.next();
    }
    UiCloseWindow(DIALOG_WINDOW);
}

} // namespace editor
