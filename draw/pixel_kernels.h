// The loops over 32-bit pixels (bytes blue, green, red, alpha) that carry
// the bulk of the work: a run of a box fill, plain or exclusive-or, and the
// premultiplied copy with its alpha check (premultiplyPixels, premultiply.h).
// Each exists twice: plain code that any x86 processor runs, and SSE2 code
// compiled for that instruction set alone. The 32-bit DLL is built for
// plain i686, so it still loads and runs on a processor without SSE2; the
// SSE2 kernels are picked at run time when the processor has them (always
// on x86-64). Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace draw {

enum class PixelKernels { Plain, Sse2 };

// The best kernels this processor runs (asked once, then remembered).
PixelKernels bestPixelKernels();

// The kernels in use: the best ones until usePixelKernels says otherwise.
PixelKernels pixelKernelsInUse();

// Switches to `kernels`, or to the plain ones where the processor lacks
// them; returns the kernels now in use. Tests and benchmarks compare the
// two this way; the plug-in itself never calls it.
PixelKernels usePixelKernels(PixelKernels kernels);

// Uses `kernels`, as usePixelKernels does, for as long as it lives; then
// the kernels that were in use before.
class ScopedPixelKernels {
  public:
    explicit ScopedPixelKernels(PixelKernels kernels)
        : before_(pixelKernelsInUse()), inUse_(usePixelKernels(kernels)) {}
    ~ScopedPixelKernels() { usePixelKernels(before_); }
    ScopedPixelKernels(const ScopedPixelKernels&) = delete;
    ScopedPixelKernels& operator=(const ScopedPixelKernels&) = delete;
    // The kernels in use, which are the plain ones where SSE2 was asked
    // for and the processor lacks it.
    PixelKernels inUse() const { return inUse_; }

  private:
    PixelKernels before_, inUse_;
};

// Runs of at least this many pixels (one vector) go to the kernels in use;
// shorter ones are written inline: plot() writes one pixel at a time, and
// SSE2 would have nothing to gain.
constexpr size_t PIXEL_KERNEL_MIN_RUN = 4;

// The kernels' part of fillRun32 and xorRun32, for runs of at least
// PIXEL_KERNEL_MIN_RUN pixels.
void fillLongRun32(uint8_t* p, size_t count, uint32_t bgr);
void xorLongRun32(uint8_t* p, size_t count, uint32_t bgr);

// The plain run, pixel by pixel: the plain kernel, and inline the runs too
// short for any kernel (a circle's outline is made of them).
template <bool XOR_MODE> inline void plainRun32(uint8_t* p, size_t count, uint32_t bgr) {
    for (size_t k = 0; k < count; ++k, p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v = XOR_MODE ? v ^ bgr : (v & 0xFF000000u) | bgr;
        std::memcpy(p, &v, 4);
    }
}

// `count` pixels from `p` along a row: blue, green, red become those of
// `bgr` (0x00RRGGBB, the order in memory), the fourth byte of each pixel is
// kept. Any alignment of `p`.
inline void fillRun32(uint8_t* p, size_t count, uint32_t bgr) {
    if (count >= PIXEL_KERNEL_MIN_RUN) {
        fillLongRun32(p, count, bgr);
    } else {
        plainRun32<false>(p, count, bgr);
    }
}

// The same pixels' blue, green, red exclusive-ored with `bgr`; the fourth
// byte is kept.
inline void xorRun32(uint8_t* p, size_t count, uint32_t bgr) {
    if (count >= PIXEL_KERNEL_MIN_RUN) {
        xorLongRun32(p, count, bgr);
    } else {
        plainRun32<true>(p, count, bgr);
    }
}

// Runs of at least this many pixels that writePixels32 writes with the
// processor's string store, which for a long run writes whole cache lines
// without reading them first; a loop of stores reads every line it writes.
// Two fills of 1920 x 1080 pixels took 0.58 ms that way, 0.88 ms as a loop.
constexpr size_t PIXEL_STRING_STORE_MIN_RUN = 1024;

// `count` whole pixels from `p` set to `pixel` (bytes blue, green, red,
// alpha in memory), none of them read, where fillRun32 reads every pixel
// to keep its fourth byte. Any alignment of `p`.
inline void writePixels32(uint8_t* p, size_t count, uint32_t pixel) {
    if (reinterpret_cast<uintptr_t>(p) % alignof(uint32_t) == 0) {
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__i386__) || defined(__x86_64__))
        if (count >= PIXEL_STRING_STORE_MIN_RUN) {
            void* to = p;
            size_t left = count;
            asm volatile("rep stosl" : "+D"(to), "+c"(left) : "a"(pixel) : "memory");
            return;
        }
#endif
        uint32_t* const pixels = reinterpret_cast<uint32_t*>(p);
        for (size_t k = 0; k < count; ++k) {
            pixels[k] = pixel;
        }
        return;
    }
    for (size_t k = 0; k < count; ++k, p += 4) {
        std::memcpy(p, &pixel, 4);
    }
}

} // namespace draw
