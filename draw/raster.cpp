// The rasteriser's colours and mode, its pixel writes, spans and boxes.
#include "draw/raster.h"

#include <algorithm>
#include <cstring>

#include "draw/pixel_kernels.h"

namespace draw {

//--- Rows and colours

int64_t rowPitch(int64_t w, int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 1:
        return ((w + 31) / 32) * 4;
    case 4:
        return ((w + 7) / 8) * 4;
    case 8:
        return ((w + 3) / 4) * 4;
    case 15:
    case 16:
        return ((w + 1) / 2) * 4;
    case 24:
        return ((3 * w + 3) / 4) * 4;
    default:
        return w * 4;
    }
}

Changes Changes::then(const Changes& later) const {
    return later.filled ? later : Changes{filled, rect.unitedWith(later.rect)};
}

ColourParts splitColour(uint32_t colour) {
    ColourParts p;
    p.alpha = static_cast<int>(colour >> 24);
    p.inverseAlpha = 255 - p.alpha;
    p.red = static_cast<int>(colour & 0xFF);
    p.green = static_cast<int>((colour >> 8) & 0xFF);
    p.blue = static_cast<int>((colour >> 16) & 0xFF);
    return p;
}

Raster::Raster(const Surface& surface)
    : surface_(surface), width_(surface.width), height_(surface.height) {
    setMode(DRAW_MODE_DEFAULT);
}

void Raster::updateParts() {
    frontParts_ = splitColour(front_);
    backParts_ = splitColour(back_);
    frontBgr_ = uint32_t(frontParts_.blue) | uint32_t(frontParts_.green) << 8 |
                uint32_t(frontParts_.red) << 16;
}

void Raster::setMode(int mode) {
    mode_ = mode;
    updateParts();
}

void Raster::setFront(uint32_t colour) {
    if (colour != front_) {
        front_ = colour;
        updateParts();
    }
}

void Raster::setBack(uint32_t colour) {
    if (colour != back_) {
        back_ = colour;
        updateParts();
    }
}

//--- Pixel writes

uint8_t* Raster::pixelAddress(int64_t x, int64_t y) const {
    const int64_t row = surface_.bottomUp ? surface_.height - 1 - y : y;
    return surface_.firstRow + row * surface_.pitch + x * surface_.bytesPerPixel;
}

// n pixels from p along a row, in the current mode. Blue, green, red are
// written (or exclusive-ored); a fourth byte is kept.
void Raster::writeRun(uint8_t* p, int64_t n) {
    const bool xorMode = (mode_ & DRAW_MODE_XOR) != 0;
    // Locals, not members: writes through a byte pointer could alias the
    // members, which would stop the loops from being vectorised.
    const uint32_t bgr = frontBgr_;
    if (surface_.bytesPerPixel == 4) {
        if (xorMode) {
            xorRun32(p, static_cast<size_t>(n), bgr);
        } else {
            fillRun32(p, static_cast<size_t>(n), bgr);
        }
        return;
    }
    const uint8_t b = static_cast<uint8_t>(frontParts_.blue);
    const uint8_t g = static_cast<uint8_t>(frontParts_.green);
    const uint8_t r = static_cast<uint8_t>(frontParts_.red);
    if (xorMode) {
        for (int64_t k = 0; k < n; ++k, p += 3) {
            p[0] ^= b;
            p[1] ^= g;
            p[2] ^= r;
        }
    } else {
        for (int64_t k = 0; k < n; ++k, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

PixelRect PixelRect::unitedWith(const PixelRect& other) const {
    if (other.empty()) {
        return *this;
    }
    if (empty()) {
        return other;
    }
    return PixelRect{std::min(left, other.left), std::min(top, other.top),
                     std::max(right, other.right), std::max(bottom, other.bottom)};
}

void Raster::markChanged(int64_t x, int64_t y, int64_t w, int64_t h) {
    if (changed_.empty()) {
        changed_ = PixelRect{x, y, x + w, y + h};
        return;
    }
    changed_.left = std::min(changed_.left, x);
    changed_.top = std::min(changed_.top, y);
    changed_.right = std::max(changed_.right, x + w);
    changed_.bottom = std::max(changed_.bottom, y + h);
}

void Raster::plot(int64_t x, int64_t y) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) {
        markChanged(x, y, 1, 1);
        writeRun(pixelAddress(x, y), 1);
    }
}

void Raster::horizontalSpan(int64_t x, int64_t y, int64_t n) {
    if (y < 0 || y >= height_) {
        return;
    }
    if (x < 0) {
        n += x;
        x = 0;
    }
    if (x + n > width_) {
        n = width_ - x;
    }
    if (n <= 0) {
        return;
    }
    markChanged(x, y, n, 1);
    writeRun(pixelAddress(x, y), n);
}

void Raster::verticalSpan(int64_t x, int64_t y, int64_t n) {
    if (x < 0 || x >= width_) {
        return;
    }
    if (y < 0) {
        n += y;
        y = 0;
    }
    if (y + n > height_) {
        n = height_ - y;
    }
    if (n <= 0) {
        return;
    }
    markChanged(x, y, 1, n);
    uint8_t* p = pixelAddress(x, y);
    const ptrdiff_t step = surface_.bottomUp ? -surface_.pitch : surface_.pitch;
    for (int64_t k = 0; k < n; ++k, p += step) {
        writeRun(p, 1);
    }
}

// Rows y .. y + h - 1 from x for w pixels, already clipped.
void Raster::fillRows(int64_t x, int64_t y, int64_t w, int64_t h) {
    markChanged(x, y, w, h);
    if (surface_.bytesPerPixel == 3 && !(mode_ & DRAW_MODE_XOR) && h > 1) {
        // Whole pixels are written: one row serves as the pattern for all.
        uint8_t* first = pixelAddress(x, y);
        writeRun(first, w);
        for (int64_t k = 1; k < h; ++k) {
            std::memcpy(pixelAddress(x, y + k), first, static_cast<size_t>(w * 3));
        }
        return;
    }
    // Rows in the order they lie in memory, which hardware prefetching
    // follows best.
    for (int64_t k = 0; k < h; ++k) {
        writeRun(pixelAddress(x, surface_.bottomUp ? y + h - 1 - k : y + k), w);
    }
}

//--- Boxes

void Raster::box(int32_t x32, int32_t y32, int32_t w32, int32_t h32, uint32_t colour) {
    setFront(colour);
    int64_t x = x32, y = y32, w = w32, h = h32;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    if (mode_ & DRAW_MODE_OUTLINED) {
        horizontalSpan(x, y, w);
        horizontalSpan(x, y + h - 1, w);
        verticalSpan(x, y + 1, h - 2);
        verticalSpan(x + w - 1, y + 1, h - 2);
        return;
    }
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (x + w > width_) {
        w = width_ - x;
    }
    if (y + h > height_) {
        h = height_ - y;
    }
    if (w <= 0 || h <= 0) {
        return;
    }
    fillRows(x, y, w, h);
}

void Raster::fillOpaque(uint32_t colour) {
    setFront(colour);
    const uint32_t pixel = 0xFF000000u | frontBgr_;
    if (surface_.bytesPerPixel == 4 && surface_.pitch == int64_t{width_} * 4) {
        // Rows without padding between them: one run.
        writePixels32(surface_.firstRow, static_cast<size_t>(int64_t{width_} * height_), pixel);
    } else {
        for (int64_t y = 0; y < height_; ++y) {
            writePixels32(surface_.firstRow + y * surface_.pitch, static_cast<size_t>(width_),
                          pixel);
        }
    }
    filled_ = pixel;
    changed_ = PixelRect{};
}

} // namespace draw
