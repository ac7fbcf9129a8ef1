// What the picture control's files share: its state and the jobs its window
// procedure hands on (painting, mouse events). Nobody else sees it.
#pragma once

#include <windows.h>

#include <optional>

#include "draw/paint_copy_win.h"

namespace draw {

// The id a control has until the toolkit files it under its number; it
// posts nothing while it has it.
constexpr int PICTURE_UNFILED_ID = -1;

struct PictureState {
    HBITMAP shown = nullptr; // not owned: the image (or icon) last assigned
    PaintCopy copy;          // premultiplied copy of `shown`, taken at the last assignment
    // What the last assignment changed in the copy, in client coordinates:
    // all of it when unset, nothing when empty.
    std::optional<RECT> changed;
    // Tool or status bars may stand beside the control: looked for on every
    // paint. Not for a control that can never have any (mayHaveBars).
    bool barsPossible = true;
    bool buttonDown = false;            // left button pressed here, no drag yet
    POINT downAt{};                     // where it was pressed (client coordinates)
    bool afterRightDoubleClick = false; // the next right release posts nothing
    // The control's procedure before the picture's: the Static one, or a
    // host's own that subclassed this very window. Messages the picture does
    // not end go on to it.
    WNDPROC displaced = nullptr;
};

// The procedure the picture's displaced on `control`, which takes the
// control back when the picture's must go; null for a window that is no
// picture control (or whose procedure was never displaced).
WNDPROC pictureDisplacedProc(HWND control);

//--- Painting (picture_paint_win.cpp)

// Where the control paints its image's top-left pixel (client coordinates).
int pictureOrigin(HWND control);
// Whether tool or status bars may ever stand beside the control, asked
// once when it is made. Not in a toolkit window laid into a window of
// another program (a canvas's): nobody else knows that window, and the
// toolkit puts no bars in it.
bool mayHaveBars(HWND control);
// Paints the image into `dc`: only `area` (client coordinates; null:
// everything), from the copy, or the image itself with DrawStateW when
// there is no copy. Bars beside the control are left alone.
void paintPicture(HWND control, HDC dc, const PictureState& st, const RECT* area);
// Repaints the toolkit window's background under the control at once when
// what the control shows does not cover it.
void updateParent(HWND control, const PictureState& st);

//--- Mouse (picture_mouse_win.cpp)

// Reads the system's drag thresholds; once, when the class is set up.
void readDragThresholds();
// Turns the mouse messages into picture events. True, with *result, when
// the message ends here; false when it goes on to the Static procedure.
bool pictureMouse(HWND control, UINT msg, LPARAM lp, PictureState& st, LRESULT* result);

} // namespace draw
