// The rasteriser's blend of rendered text: glyph coverage from a buffer,
// mixed with the front and back colours of the pass.
#include "draw/raster.h"

#include <algorithm>

namespace draw {

namespace {

// A glyph byte of full coverage.
constexpr int GLYPH_COVERAGE_FULL = 255;

} // namespace

void Raster::blendGlyphs(const GlyphBuffer& glyphs, int64_t left, int64_t top, int64_t w,
                         int64_t h) {
    if (left + w > width_) {
        w = width_ - left;
    }
    if (top + h > height_) {
        h = height_ - top;
    }
    if (w < 1 || left + w < 0 || top + h < 0 || left >= width_ || top >= height_) {
        return;
    }
    // The glyph buffer is only so large: never read past it.
    w = std::min<int64_t>(w, glyphs.width);
    h = std::min<int64_t>(h, glyphs.height);
    const int64_t c0 = left < 0 ? -left : 0;
    const int64_t r0 = top < 0 ? -top : 0;
    if (c0 >= w || r0 >= h) {
        return;
    }
    // The whole cell counts as written, also where its coverage is nil.
    markChanged(left + c0, top + r0, w - c0, h - r0);
    const bool transparent = (mode_ & DRAW_MODE_TRANSPARENT) != 0;
    const bool xorMode = (mode_ & DRAW_MODE_XOR) != 0;
    const int bpp = surface_.bytesPerPixel;
    const ColourParts f = frontParts_;
    const ColourParts b = backParts_;
    for (int64_t gy = r0; gy < h; ++gy) {
        const uint8_t* src = glyphs.bits + gy * glyphs.pitch + c0 * 3;
        uint8_t* dst = pixelAddress(left + c0, top + gy);
        if (xorMode) {
            for (int64_t gx = c0; gx < w; ++gx, src += 3, dst += bpp) {
                const int gB = src[0], gG = src[1], gR = src[2];
                if (2 * (gR + gG + gB) > 3 * GLYPH_COVERAGE_FULL) {
                    dst[0] ^= static_cast<uint8_t>(f.blue);
                    dst[1] ^= static_cast<uint8_t>(f.green);
                    dst[2] ^= static_cast<uint8_t>(f.red);
                } else if (!transparent) {
                    dst[0] ^= static_cast<uint8_t>(b.blue);
                    dst[1] ^= static_cast<uint8_t>(b.green);
                    dst[2] ^= static_cast<uint8_t>(b.red);
                }
            }
            continue;
        }
        for (int64_t gx = c0; gx < w; ++gx, src += 3, dst += bpp) {
            const int gB = src[0], gG = src[1], gR = src[2];
            // Most of a text cell is bare background or solid stroke, where
            // the blend below gives exactly the under or the front colour.
            if ((gB | gG | gR) == 0) {
                if (!transparent) {
                    dst[0] = static_cast<uint8_t>(b.blue);
                    dst[1] = static_cast<uint8_t>(b.green);
                    dst[2] = static_cast<uint8_t>(b.red);
                }
                continue;
            }
            if ((gB & gG & gR) == GLYPH_COVERAGE_FULL) {
                dst[0] = static_cast<uint8_t>(f.blue);
                dst[1] = static_cast<uint8_t>(f.green);
                dst[2] = static_cast<uint8_t>(f.red);
                continue;
            }
            const int underB = transparent ? dst[0] : b.blue;
            const int underG = transparent ? dst[1] : b.green;
            const int underR = transparent ? dst[2] : b.red;
            dst[0] = static_cast<uint8_t>((f.blue * gB + underB * (GLYPH_COVERAGE_FULL - gB)) /
                                          GLYPH_COVERAGE_FULL);
            dst[1] = static_cast<uint8_t>((f.green * gG + underG * (GLYPH_COVERAGE_FULL - gG)) /
                                          GLYPH_COVERAGE_FULL);
            dst[2] = static_cast<uint8_t>((f.red * gR + underR * (GLYPH_COVERAGE_FULL - gR)) /
                                          GLYPH_COVERAGE_FULL);
        }
    }
}

} // namespace draw
