// Test images for the rasteriser: plain memory laid out like a DIB, with a
// recognisable background, padding that must never change, and pixel
// read-back in picture coordinates.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "draw/raster.h"

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
        draw::Surface s;
        s.firstRow = memory.data();
        s.pitch = pitch;
        s.bytesPerPixel = bpp;
        s.bottomUp = bottomUp;
        s.width = width;
        s.height = height;
        return s;
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

    // Row padding of 24-bit images keeps its filler byte.
    bool paddingIntact() const {
        const ptrdiff_t used = ptrdiff_t(width) * bpp;
        for (int row = 0; row < height; ++row) {
            for (ptrdiff_t k = used; k < pitch; ++k) {
                if (memory[static_cast<size_t>(row * pitch + k)] != 0xEE) {
                    return false;
                }
            }
        }
        return true;
    }
};
