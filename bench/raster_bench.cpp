// The raster core on a 1920 x 1080 32-bit image, with its floors measured
// in the same run: box fill against memset of the same pixels, circle
// outlines of radius 10 to 2e9 (centred, or far away so that the outline
// crosses the image, or around it), the text blend of a 400 x 40 glyph
// area against memcpy of the pixels it covers, and the premultiplied copy
// of the image (whole, or row by row in pieces of 8 pixels) against memcpy.
// The box fill and the copy run with the plain and the SSE2 kernels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "draw/pixel_kernels.h"
#include "draw/premultiply.h"
#include "draw/raster.h"

namespace {

constexpr int W = 1920, H = 1080;

struct Image {
    std::vector<uint8_t> memory = std::vector<uint8_t>(size_t(W) * H * 4, 0xFF);
    draw::Surface surface() {
        draw::Surface s;
        s.firstRow = memory.data();
        s.pitch = W * 4;
        s.bytesPerPixel = 4;
        s.bottomUp = true;
        s.width = W;
        s.height = H;
        return s;
    }
};

void BM_Memset(benchmark::State& state) {
    Image img;
    int value = 0;
    for (auto _ : state) {
        std::memset(img.memory.data(), value++ & 0xFF, img.memory.size());
        benchmark::DoNotOptimize(img.memory.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}
BENCHMARK(BM_Memset);

// Range 0: the kernels, 0 plain, 1 SSE2.
void BM_BoxFill(benchmark::State& state) {
    const draw::ScopedPixelKernels kernels(static_cast<draw::PixelKernels>(state.range(0)));
    if (kernels.inUse() != static_cast<draw::PixelKernels>(state.range(0))) {
        state.SkipWithError("no SSE2 here");
        return;
    }
    Image img;
    draw::Raster r(img.surface());
    uint32_t colour = 0;
    for (auto _ : state) {
        r.box(0, 0, W, H, colour++ & 0xFFFFFF);
        benchmark::DoNotOptimize(img.memory.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}
BENCHMARK(BM_BoxFill)->ArgNames({"sse2"})->Arg(0)->Arg(1);

void BM_MemcpyImage(benchmark::State& state) {
    Image from, to;
    for (auto _ : state) {
        std::memcpy(to.memory.data(), from.memory.data(), to.memory.size());
        benchmark::DoNotOptimize(to.memory.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}
BENCHMARK(BM_MemcpyImage);

// The picture control's copy of an opaque image: range 0 the kernels (0
// plain, 1 SSE2), range 1 the pixels per call (the whole image streams past
// the caches; pieces of 8 show the cost of a call on a short row).
void BM_PremultipliedCopy(benchmark::State& state) {
    const draw::ScopedPixelKernels kernels(static_cast<draw::PixelKernels>(state.range(0)));
    if (kernels.inUse() != static_cast<draw::PixelKernels>(state.range(0))) {
        state.SkipWithError("no SSE2 here");
        return;
    }
    Image from, to;
    const size_t pixels = size_t(W) * H, piece = static_cast<size_t>(state.range(1));
    for (auto _ : state) {
        for (size_t done = 0; done < pixels; done += piece) {
            benchmark::DoNotOptimize(draw::premultiplyPixels(to.memory.data() + 4 * done,
                                                             from.memory.data() + 4 * done, piece));
        }
        benchmark::DoNotOptimize(to.memory.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}
BENCHMARK(BM_PremultipliedCopy)
    ->ArgNames({"sse2", "piece"})
    ->Args({0, W* H})
    ->Args({1, W* H})
    ->Args({0, 8})
    ->Args({1, 8})
    ->Unit(benchmark::kMicrosecond);

enum Placement { CENTRED = 0, CROSSING = 1 };

// Outlines: the radius, and the centre either the image's (a huge circle
// then surrounds the image) or far up-left so that the outline crosses the
// image diagonally.
void BM_Circle(benchmark::State& state) {
    Image img;
    draw::Raster r(img.surface());
    r.setMode(DRAW_MODE_OUTLINED);
    const int64_t radius = state.range(0);
    int64_t cx = W / 2, cy = H / 2;
    if (state.range(1) == CROSSING) {
        const int64_t d = std::llround(double(radius) / std::sqrt(2.0));
        cx -= d;
        cy -= d;
    }
    for (auto _ : state) {
        r.circle(static_cast<int32_t>(cx), static_cast<int32_t>(cy), static_cast<int32_t>(radius),
                 0x00FF0000);
        benchmark::DoNotOptimize(img.memory.data());
    }
}
BENCHMARK(BM_Circle)
    ->ArgNames({"radius", "crossing"})
    ->Args({10, CENTRED})
    ->Args({100, CENTRED})
    ->Args({1000, CENTRED})
    ->Args({100000, CROSSING})
    ->Args({100000, CENTRED})
    ->Args({2000000000, CROSSING})
    ->Args({2000000000, CENTRED})
    ->Unit(benchmark::kMicrosecond);

constexpr int GLYPH_W = 400, GLYPH_H = 40;

// A glyph buffer as GDI leaves it after rendering text white on black:
// mostly background, stems of full coverage and anti-aliased edges.
std::vector<uint8_t> handMadeGlyphs() {
    const int pitch = (3 * GLYPH_W + 3) / 4 * 4;
    std::vector<uint8_t> g(size_t(pitch) * GLYPH_H, 0);
    for (int y = 4; y < GLYPH_H - 8; ++y) {
        for (int x = 0; x < GLYPH_W; ++x) {
            const int phase = x % 11;
            const uint8_t v = phase < 2 ? 255 : phase == 2 ? 128 : phase == 10 ? 64 : 0;
            for (int c = 0; c < 3; ++c) {
                g[size_t(y) * pitch + size_t(x) * 3 + c] = v;
            }
        }
    }
    return g;
}

// The blend of one line of text (the core's part of kiv_DrawText), without
// background (range 1) or on a background colour (range 0).
void BM_TextBlend(benchmark::State& state) {
    Image img;
    draw::Raster r(img.surface());
    r.setMode(state.range(0) ? DRAW_MODE_TRANSPARENT : DRAW_MODE_DEFAULT);
    r.setFront(0x00204080);
    r.setBack(0x00FFFFFF);
    const std::vector<uint8_t> bits = handMadeGlyphs();
    const draw::GlyphBuffer glyphs{bits.data(), (3 * GLYPH_W + 3) / 4 * 4, GLYPH_W, GLYPH_H};
    for (auto _ : state) {
        r.blendGlyphs(glyphs, 100, 100, GLYPH_W, GLYPH_H);
        benchmark::DoNotOptimize(img.memory.data());
    }
}
BENCHMARK(BM_TextBlend)->ArgNames({"transparent"})->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The floor of the blend: copying the pixels of the area it covers.
void BM_MemcpyTextArea(benchmark::State& state) {
    Image img;
    std::vector<uint8_t> from(size_t(GLYPH_W) * 4 * GLYPH_H, 0x5A);
    for (auto _ : state) {
        for (int y = 0; y < GLYPH_H; ++y) {
            std::memcpy(img.memory.data() + (size_t(100 + y) * W + 100) * 4,
                        from.data() + size_t(y) * GLYPH_W * 4, size_t(GLYPH_W) * 4);
        }
        benchmark::DoNotOptimize(img.memory.data());
    }
}
BENCHMARK(BM_MemcpyTextArea)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
