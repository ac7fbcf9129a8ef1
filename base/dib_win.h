// Device-independent bitmaps: the one way their header is filled in, and
// the owner of a DIB section with its pixel memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "base/gdi_win.h"

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

// Owns one DIB section and knows where its pixels lie; deletes it once. A
// default-constructed or moved-from one is empty.
class DibSection {
  public:
    DibSection() = default;
    // A fresh uncompressed section of width x height pixels at
    // `bitsPerPixel` with rows in `order`; `dc` is passed on to
    // CreateDIBSection (may be null). Empty when it cannot be made.
    DibSection(HDC dc, int width, int height, int bitsPerPixel, RowOrder order) {
        BITMAPINFO info{};
        info.bmiHeader = dibHeader(width, height, bitsPerPixel, order);
        void* bits = nullptr;
        GdiObject<HBITMAP> made(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (made && bits) {
            bitmap_ = std::move(made);
            bits_ = static_cast<uint8_t*>(bits);
        }
    }
    DibSection(DibSection&& other) noexcept
        : bitmap_(std::move(other.bitmap_)), bits_(std::exchange(other.bits_, nullptr)) {}
    DibSection& operator=(DibSection&& other) noexcept {
        if (this != &other) {
            bitmap_ = std::move(other.bitmap_);
            bits_ = std::exchange(other.bits_, nullptr);
        }
        return *this;
    }

    // The section (still owned here), null when empty.
    HBITMAP get() const { return bitmap_.get(); }
    // Its first row in memory, null when empty.
    uint8_t* bits() const { return bits_; }
    explicit operator bool() const { return static_cast<bool>(bitmap_); }

  private:
    GdiObject<HBITMAP> bitmap_;
    uint8_t* bits_ = nullptr;
};
