// Box fill throughput against memset, and circles of small, large and huge
// radius, on a 1920 x 1080 32-bit image.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

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

void BM_BoxFill(benchmark::State& state) {
    Image img;
    draw::Raster r(img.surface());
    uint32_t colour = 0;
    for (auto _ : state) {
        r.box(0, 0, W, H, colour++ & 0xFFFFFF);
        benchmark::DoNotOptimize(img.memory.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * W * H * 4);
}
BENCHMARK(BM_BoxFill);

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

// Circles: the radius; whether the centre is the image's (a huge circle
// then contains the image) or lies far up-left so that the outline
// crosses the image diagonally; outline or disc.
void BM_Circle(benchmark::State& state) {
    Image img;
    draw::Raster r(img.surface());
    r.setMode(state.range(2) ? DRAW_MODE_DEFAULT : DRAW_MODE_OUTLINED);
    const int64_t radius = state.range(0);
    int64_t cx = W / 2, cy = H / 2;
    if (state.range(1) == 1) {
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
    ->ArgNames({"radius", "crossing", "filled"})
    ->Args({100, 0, 0})
    ->Args({100000, 1, 0})
    ->Args({2000000000, 1, 0})
    ->Args({2000000000, 0, 0})
    ->Args({100, 0, 1})
    ->Args({100000, 1, 1})
    ->Args({2000000000, 1, 1})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
