#include "draw/paint_copy_win.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "draw/image_win.h"
#include "draw/pixel_kernels.h"
#include "draw/premultiply.h"

namespace draw {

bool hasAlpha(HBITMAP bitmap) {
    if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP) {
        return false;
    }
    DIBSECTION ds{};
    const int got = GetObjectW(bitmap, sizeof(ds), &ds);
    if (got == static_cast<int>(sizeof(DIBSECTION))) {
        return ds.dsBm.bmBitsPixel == 32;
    }
    if (got < static_cast<int>(sizeof(BITMAP)) || ds.dsBm.bmBitsPixel != 32 ||
        ds.dsBm.bmWidth <= 0 || ds.dsBm.bmHeight <= 0) {
        return false;
    }
    BITMAPINFO bi{};
    bi.bmiHeader = dibHeader(ds.dsBm.bmWidth, ds.dsBm.bmHeight, 32, RowOrder::BottomUp);
    std::vector<uint32_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(ds.dsBm.bmWidth) * ds.dsBm.bmHeight);
    } catch (const std::bad_alloc&) {
        return false;
    }
    MemoryDC dc;
    if (!GetDIBits(dc.get(), bitmap, 0, ds.dsBm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS)) {
        return false;
    }
    for (uint32_t p : pixels) {
        if (p > 0x00FFFFFF) {
            return true;
        }
    }
    return false;
}

// The section of the previous copy is reused when the size is the same: a
// canvas is assigned again after every action, and a fresh section costs a
// page fault for every 4 KB the copy writes.
bool PaintCopy::fit(int width, int height) {
    if (section_ && section_->size.cx == width && section_->size.cy == height) {
        return true;
    }
    clear(); // the old section goes before a new one is made
    section_.emplace(width, height);
    if (!section_->pixels || !section_->dc) {
        section_.reset();
        return false;
    }
    return true;
}

bool PaintCopy::copyArea(const uint8_t* from, const PixelRect& area) {
    const SIZE size = section_->size;
    const size_t pitch = static_cast<size_t>(size.cx) * 4;
    const size_t pixels = static_cast<size_t>(area.right - area.left);
    uint8_t* const to = section_->pixels.bits();
    bool opaque = true;
    for (int64_t y = area.top; y < area.bottom; ++y) {
        const size_t at = static_cast<size_t>(size.cy - 1 - y) * pitch +
                          static_cast<size_t>(area.left) * 4; // bottom-up rows
        opaque &= premultiplyPixels(to + at, from + at, pixels);
    }
    return opaque;
}

// A 32-bit image of the image table (a canvas) is read straight from its
// memory, in the same pass that checks alpha; anything else is copied by
// GetDIBits (the memory of other DIB sections does not tell whether their
// rows run top-down or bottom-up).
std::optional<PixelRect> PaintCopy::take(HBITMAP source) {
    BITMAP bm{};
    if (!GetObjectW(source, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) {
        clear();
        return std::nullopt;
    }
    const int width = bm.bmWidth;
    const int height = std::abs(bm.bmHeight);
    const bool sameSize = section_ && section_->size.cx == width && section_->size.cy == height;
    const HBITMAP previous = sameSize ? source_ : nullptr;
    source_ = nullptr;
    if (!fit(width, height)) {
        return std::nullopt;
    }
    uint8_t* const to = section_->pixels.bits();
    const size_t pixels = static_cast<size_t>(width) * height;
    DIBSECTION ds{};
    Changes changed;
    ImageChanges need = ImageChanges::NotInTable;
    if (GetObjectW(source, sizeof(ds), &ds) == static_cast<int>(sizeof(ds)) && ds.dsBm.bmBits &&
        ds.dsBm.bmBitsPixel == 32 && ds.dsBmih.biCompression == BI_RGB &&
        ds.dsBm.bmWidthBytes == width * 4) {
        need = takeImageChanges(source, this, &changed);
    }
    if (need != ImageChanges::NotInTable) {
        GdiFlush(); // what GDI may still hold back goes into the memory first
        const auto* from = static_cast<const uint8_t*>(ds.dsBm.bmBits);
        source_ = source;
        switch (need) {
        case ImageChanges::Filled:
            // An opaque pixel is its own premultiplied value.
            writePixels32(to, pixels, *changed.filled);
            opaque_ = changed.rect.empty() || copyArea(from, changed.rect);
            return std::nullopt;
        case ImageChanges::SinceLast:
            if (previous == source) {
                if (!changed.rect.empty()) {
                    // A copy that was opaque stays so only if the new pixels
                    // are; one that was not may still hold such pixels
                    // elsewhere.
                    opaque_ = copyArea(from, changed.rect) && opaque_;
                }
                return changed.rect;
            }
            break;
        default:
            break;
        }
        opaque_ = premultiplyPixels(to, from, pixels);
        return std::nullopt;
    }
    BITMAPINFO bi{};
    bi.bmiHeader = dibHeader(width, height, 32, RowOrder::BottomUp);
    if (GetDIBits(section_->dc.get(), source, 0, static_cast<UINT>(height), to, &bi,
                  DIB_RGB_COLORS) != height) {
        clear();
        return std::nullopt;
    }
    opaque_ = premultiplyPixels(to, to, pixels);
    return std::nullopt;
}

void PaintCopy::clear() {
    section_.reset();
    opaque_ = false;
    source_ = nullptr;
}

} // namespace draw
