// What a picture control learns about the handle it is given: a bitmap or
// an icon, and how large it is.
#pragma once

#include <windows.h>

namespace draw {

// True for a GDI bitmap (anything else is taken as an icon).
bool isBitmap(HANDLE image);
// Width and height of a bitmap, or of an icon's colour bitmap (half the
// mask's height for a monochrome icon). False when the handle is neither.
bool imageSize(HANDLE image, SIZE* size);

} // namespace draw
