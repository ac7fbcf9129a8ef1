#include "draw/image_probe_win.h"

#include <cstdlib>

#include "base/gdi_win.h"

namespace draw {

bool isBitmap(HANDLE image) {
    return image && GetObjectType(image) == OBJ_BITMAP;
}

bool imageSize(HANDLE image, SIZE* size) {
    if (isBitmap(image)) {
        BITMAP bm{};
        if (!GetObjectW(image, sizeof(bm), &bm)) {
            return false;
        }
        *size = SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
        return true;
    }
    ICONINFO info{};
    if (!GetIconInfo(static_cast<HICON>(image), &info)) {
        return false;
    }
    GdiObject<HBITMAP> colour(info.hbmColor);
    GdiObject<HBITMAP> mask(info.hbmMask);
    BITMAP bm{};
    if (colour) {
        GetObjectW(colour.get(), sizeof(bm), &bm);
        *size = SIZE{bm.bmWidth, bm.bmHeight};
    } else { // monochrome icon: AND and XOR masks stacked
        GetObjectW(mask.get(), sizeof(bm), &bm);
        *size = SIZE{bm.bmWidth, bm.bmHeight / 2};
    }
    return true;
}

} // namespace draw
