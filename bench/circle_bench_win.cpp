// Circle outlines on a 1920 x 1080 32-bit DIB section: the raster core
// against GDI's own Ellipse (hollow brush, 1-pixel pen) into the same
// section, the alternative a host author would otherwise reach for.
//
// Ellipse takes a bounding rectangle of ints, so a circle whose box leaves
// the int range (radius 2e9 with the centre far outside the image) cannot
// be asked of it at all; that case is reported for the core alone.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/timer_win.h"
#include "draw/pixel_kernels.h"
#include "draw/raster.h"
#include "base/gdi_win.h"

namespace {

constexpr int W = 1920, H = 1080;

struct Case {
    const char* name;
    int64_t radius;
    bool crossing; // centre far up-left: the outline crosses the image diagonally
};

const Case CASES[] = {
    {"r=10", 10, false},
    {"r=100", 100, false},
    {"r=1000", 1000, false},
    {"r=100000 crossing", 100000, true},
    {"r=100000 containing", 100000, false},
    {"r=2000000000 crossing", 2000000000, true},
    {"r=2000000000 containing", 2000000000, false},
};

bool fitsInt(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

} // namespace

int main() {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    GdiObject<HBITMAP> image(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDC dc;
    if (!image || !bits || !dc) {
        std::fprintf(stderr, "no DIB section\n");
        return 1;
    }
    ScopedSelect selectImage(dc.get(), image.get());
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
    ScopedSelect selectPen(dc.get(), pen.get());
    ScopedSelect selectBrush(dc.get(), GetStockObject(NULL_BRUSH));
    PatBlt(dc.get(), 0, 0, W, H, WHITENESS);
    GdiFlush();

    draw::Surface surface;
    surface.firstRow = static_cast<uint8_t*>(bits);
    surface.pitch = W * 4;
    surface.bytesPerPixel = 4;
    surface.bottomUp = true;
    surface.width = W;
    surface.height = H;
    draw::Raster raster(surface);

    // The box fill as the Windows compiler builds it, with each kernel,
    // against memset.
    for (auto kernels : {draw::PixelKernels::Plain, draw::PixelKernels::Sse2}) {
        const draw::ScopedPixelKernels use(kernels);
        if (use.inUse() != kernels) {
            continue;
        }
        bench::report(kernels == draw::PixelKernels::Sse2 ? "core box fill sse2"
                                                          : "core box fill plain",
                      bench::secondsPerCall([&] {
                          raster.box(0, 0, W, H, 0x00FFFFFF);
                          bench::keep(bits);
                      }));
    }
    bench::report("memset", bench::secondsPerCall([&] {
                      std::memset(bits, 0xFF, size_t(W) * H * 4);
                      bench::keep(bits);
                  }));
    raster.setMode(DRAW_MODE_OUTLINED);

    for (const Case& c : CASES) {
        int64_t cx = W / 2, cy = H / 2;
        if (c.crossing) {
            const int64_t d = std::llround(static_cast<double>(c.radius) / std::sqrt(2.0));
            cx -= d;
            cy -= d;
        }
        const double core = bench::secondsPerCall([&] {
            raster.circle(static_cast<int32_t>(cx), static_cast<int32_t>(cy),
                          static_cast<int32_t>(c.radius), 0x0000FF);
            bench::keep(bits);
        });
        bench::report(std::string("core circle ") + c.name, core);
        // Ellipse's box: right and bottom are exclusive.
        const int64_t left = cx - c.radius, right = cx + c.radius + 1;
        const int64_t top = cy - c.radius, bottom = cy + c.radius + 1;
        if (!fitsInt(left) || !fitsInt(right) || !fitsInt(top) || !fitsInt(bottom)) {
            continue;
        }
        const double gdi = bench::secondsPerCall([&] {
            Ellipse(dc.get(), static_cast<int>(left), static_cast<int>(top),
                    static_cast<int>(right), static_cast<int>(bottom));
            GdiFlush();
        });
        bench::report(std::string("gdi ellipse ") + c.name, gdi);
    }
    return 0;
}
