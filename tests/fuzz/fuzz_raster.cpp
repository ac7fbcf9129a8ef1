// Fuzzes the rasteriser with primitives at any position and size on tiny
// images of both layouts: no access outside the pixels (the sanitizers
// watch the exact-size buffer), row padding and alpha bytes never change,
// and an ellipse drawn by walking only its visible part, or by the walk
// the rasteriser chooses, equals the one drawn by walking its whole path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "draw/raster.h"
#include "tests/native/raster_support.h"

namespace {

struct Reader {
    const uint8_t* p;
    size_t n;
    uint32_t u32() {
        uint32_t v = 0;
        for (int k = 0; k < 4 && n; ++k, ++p, --n) {
            v = v << 8 | *p;
        }
        return v;
    }
    uint8_t byte() { return static_cast<uint8_t>(u32() & 0xFF); }
    // A coordinate: often an extreme, else any 32-bit value or a small one.
    int32_t coord() {
        static const int32_t special[] = {
            INT32_MIN, INT32_MIN + 1, -2000000000,   -65536,   -1, 0, 1, 2,
            7,         2000000000,    INT32_MAX - 1, INT32_MAX};
        const uint8_t kind = byte();
        if (kind < 64) {
            return special[kind % (sizeof(special) / sizeof(special[0]))];
        }
        if (kind < 128) {
            return static_cast<int32_t>(u32());
        }
        return static_cast<int32_t>(static_cast<int8_t>(byte()));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const int w = 1 + in.byte() % 13, h = 1 + in.byte() % 11;
    const int layout = in.byte();
    TestImage img(w, h, (layout & 1) ? 3 : 4, (layout & 2) != 0);
    draw::Raster r(img.surface());

    std::vector<uint8_t> glyphBits(size_t(((3 * 5 + 3) / 4) * 4 * 4));
    for (size_t k = 0; k < glyphBits.size(); ++k) {
        glyphBits[k] = static_cast<uint8_t>(k * 53);
    }
    const draw::GlyphBuffer glyphs{glyphBits.data(), ((3 * 5 + 3) / 4) * 4, 5, 4};

    for (int op = 0; op < 6 && in.n; ++op) {
        const uint8_t kind = in.byte();
        r.setMode(in.byte() & 7);
        switch (kind % 6) {
        case 0:
            r.box(in.coord(), in.coord(), in.coord(), in.coord(), in.u32());
            break;
        case 1:
            r.circle(in.coord(), in.coord(), in.coord(), in.u32());
            break;
        case 2: {
            r.setFront(in.u32());
            const int64_t cx = in.coord(), cy = in.coord();
            const int64_t rx = in.u32() % 700, ry = (kind & 0x80) ? rx : in.u32() % 700;
            // The pixels of a fresh image after one of the walks.
            auto walked = [&](EllipseWalk walk) {
                TestImage a(w, h, img.bpp, img.bottomUp);
                (a.raster(r.mode(), r.front()).*walk)(cx, cy, rx, ry);
                return a.memory;
            };
            const std::vector<uint8_t> all = walked(&draw::Raster::ellipseWalkingAll);
            // The chosen walk, with its shortcuts, draws the same too.
            if (walked(&draw::Raster::ellipseWalkingVisible) != all ||
                walked(&draw::Raster::ellipse) != all) {
                abort();
            }
            r.ellipse(cx, cy, rx, ry);
            break;
        }
        case 3:
            r.setFront(in.u32());
            r.horizontalSpan(in.coord(), in.coord(), in.coord());
            r.verticalSpan(in.coord(), in.coord(), in.coord());
            r.plot(in.coord(), in.coord());
            break;
        case 4:
            r.setFront(in.u32());
            r.setBack(in.u32());
            r.blendGlyphs(glyphs, in.coord(), in.coord(), in.coord(), in.coord());
            break;
        default:
            r.ellipse(in.coord(), in.coord(), in.coord(), in.coord());
            break;
        }
    }
    if (!img.keptBytesIntact()) {
        abort();
    }
    return 0;
}
