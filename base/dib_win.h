// Device-independent bitmaps: the one way their header is filled in.
#pragma once

#include <windows.h>

// Rows in memory order for a DIB header: a bottom-up DIB stores the
// picture's last row first, a top-down one its first row first.
enum class RowOrder { BottomUp, TopDown };

// The header of an uncompressed DIB of width x height pixels at
// `bitsPerPixel` (1, 24 or 32), ready for CreateDIBSection or GetDIBits.
inline BITMAPINFOHEADER dibHeader(int width, int height, int bitsPerPixel, RowOrder order) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = order == RowOrder::TopDown ? -height : height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
    return header;
}
