// The modal loop shared by the parameter dialogs and the About box: both are
// toolkit window number 0, run on the host's thread and end on their own
// buttons or close box.
#pragma once

#include <windows.h>

#include "base/text.h"

namespace editor {

// True while a dialog of the plug-in (window 0) is open on this thread. A
// host whose windows keep working under the dialog can call the plug-in
// again meanwhile; a second dialog would take window 0 from the first, so
// callers refuse instead.
bool dialogOpen();

// Opens window 0 as a modal dialog of the plug-in, width x height at 96
// dpi, owned by the host's active window (at 0, 0 without one); false when
// it could not be made. First it takes the mouse from the host, as Windows
// does whenever a dialog box opens: the active window gets WM_CANCELMODE,
// which ends its capture and its menu mode, and a capture this thread still
// holds is released. Otherwise the host's window, holding the capture since
// a double click or a menu, would take the user's first clicks on the
// dialog.
bool openDialog(const Text& title, int width, int height);

// Waits for the clicks of window 0 as it is when the loop is made.
class ModalLoop {
  public:
    static constexpr int ENDED = -1;

    ModalLoop();
    ~ModalLoop();
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;

    // The number of the next control of window 0 that reports anything
    // (a button click, an edit field's typing or focus change), or ENDED:
    // the close box, a quit for the host's own loop, or the window gone
    // with its owner. Events of other toolkit windows (canvases) are skipped.
    int next();

  private:
    bool windowGone() const;

    HWND window_;    // not owned: window 0 when the loop began
    UINT_PTR timer_; // thread timer that notices window 0 going away
    bool ended_ = false;
};

} // namespace editor
