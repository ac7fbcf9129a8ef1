// Test images for the rasteriser: plain memory laid out like a DIB, with a
// recognisable background, padding that must never change, and pixel
// read-back in picture coordinates.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "draw/raster.h"

// One of the rasteriser's ways to walk an ellipse.
using EllipseWalk = void (draw::Raster::*)(int64_t, int64_t, int64_t, int64_t);

// Pixels as (x, y) in picture coordinates.
using Pixels = std::set<std::pair<int, int>>;

inline Pixels rect(int x0, int y0, int x1, int y1) { // inclusive corners
    Pixels out;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

inline draw::Surface surfaceOver(uint8_t* firstRow, ptrdiff_t pitch, int bytesPerPixel,
                                 bool bottomUp, int width, int height) {
    draw::Surface s;
    s.firstRow = firstRow;
    s.pitch = pitch;
    s.bytesPerPixel = bytesPerPixel;
    s.bottomUp = bottomUp;
    s.width = width;
    s.height = height;
    return s;
}

struct TestImage {
    int width, height, bpp;
    bool bottomUp;
    ptrdiff_t pitch;
    std::vector<uint8_t> memory; // exactly height * pitch bytes

    TestImage(int w, int h, int bytesPerPixel = 4, bool bottomUpRows = true)
        : width(w), height(h), bpp(bytesPerPixel), bottomUp(bottomUpRows),
          pitch(bytesPerPixel == 4 ? ptrdiff_t(w) * 4 : ptrdiff_t((3 * w + 3) / 4) * 4),
          memory(static_cast<size_t>(pitch * h), 0xEE) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                set(x, y, background(x, y));
            }
        }
    }

    // Distinct per pixel, never equal to the colours the tests draw with.
    static uint32_t background(int x, int y) {
        return 0xA5000000u | uint32_t((x * 7 + 1) & 0x7F) << 16 |
               uint32_t((y * 5 + 3) & 0x7F) << 8 | 0x40u;
    }

    draw::Surface surface() {
        return surfaceOver(memory.data(), pitch, bpp, bottomUp, width, height);
    }
    // A raster over the image, switched to a mode and given colours only
    // where asked, so that the others start as a raster is made.
    draw::Raster raster(int mode = DRAW_MODE_DEFAULT, std::optional<uint32_t> front = {},
                        std::optional<uint32_t> back = {}) {
        draw::Raster r(surface());
        if (mode != DRAW_MODE_DEFAULT)
            r.setMode(mode);
        if (front)
            r.setFront(*front);
        if (back)
            r.setBack(*back);
        return r;
    }

    uint8_t* at(int x, int y) {
        const int row = bottomUp ? height - 1 - y : y;
        return memory.data() + ptrdiff_t(row) * pitch + ptrdiff_t(x) * bpp;
    }
    // Bytes blue, green, red (, alpha) as 0xAARRGGBB, the order in memory.
    uint32_t get(int x, int y) {
        uint32_t v = 0;
        std::memcpy(&v, at(x, y), static_cast<size_t>(bpp));
        return v;
    }
    void set(int x, int y, uint32_t v) { std::memcpy(at(x, y), &v, static_cast<size_t>(bpp)); }
    bool changed(int x, int y) {
        return get(x, y) != (bpp == 4 ? background(x, y) : background(x, y) & 0xFFFFFF);
    }
    // The pixels where `test(x, y)` holds.
    template <class Test> Pixels pixelsWhere(Test test) {
        Pixels out;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (test(x, y)) {
                    out.insert({x, y});
                }
            }
        }
        return out;
    }
    Pixels changedPixels() {
        return pixelsWhere([this](int x, int y) { return changed(x, y); });
    }
    // None when every pixel holds `v`.
    Pixels pixelsOtherThan(uint32_t v) {
        return pixelsWhere([&](int x, int y) { return get(x, y) != v; });
    }

    // The bytes no write may touch: row padding keeps its filler byte, and
    // 32-bit pixels their alpha byte.
    bool keptBytesIntact() const {
        for (int row = 0; row < height; ++row) {
            for (ptrdiff_t k = 0; k < pitch; ++k) {
                const bool padding = k >= ptrdiff_t(width) * bpp, alpha = bpp == 4 && k % 4 == 3;
                const uint8_t kept = padding ? 0xEE : 0xA5;
                if ((padding || alpha) && memory[static_cast<size_t>(row * pitch + k)] != kept) {
                    return false;
                }
            }
        }
        return true;
    }
};
