// The picture control: shows a bitmap (a canvas image) inside a toolkit
// window. It paints from a copy taken when the bitmap is assigned, so what
// is drawn into the image later stays invisible until the image is assigned
// again with UiSetState (ui/toolkit_win.h): that is the one way a canvas
// reaches the screen. The copy itself is a draw::PaintCopy
// (paint_copy_win.h); the copy is made only while AlphaBlend is there to
// paint it (alpha_blend_win.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/toolkit_win.h"

// The picture control's class type code.
constexpr int UI_TYPE_PICTURE = 9;

// Subtypes of the UI_EVENT_CONTROL events a picture control posts itself
// (a plain left click arrives as STN_CLICKED through the window).
constexpr int32_t PICTURE_EVENT_RIGHT_CLICK = 1;
constexpr int32_t PICTURE_EVENT_DOUBLE_CLICK = 2;
constexpr int32_t PICTURE_EVENT_RIGHT_DOUBLE_CLICK = 3;
constexpr int32_t PICTURE_EVENT_DRAG_START = UI_SUBTYPE_DRAG_START;

// Creates a picture control in the current container at x, y (size w x h
// until a bitmap is assigned; it then takes the bitmap's size) and assigns
// `bitmap` (may be null). The bitmap stays the caller's; the control keeps
// only its own copy. Returns 0 on failure, else the generated number for
// UI_ANY, else the control's HWND.
intptr_t UiAddPicture(int number, int x, int y, int width, int height, HBITMAP bitmap);
