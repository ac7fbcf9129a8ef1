// Both builds of the 32-bit pixel loops (box fill runs, premultiplied
// copies) and the choice between them. Only the functions marked
// SSE2_TARGET are compiled for SSE2; everything else here, like the rest of
// the 32-bit DLL, stays plain i686.
#include "draw/pixel_kernels.h"

#include <algorithm>
#include <cstring>

#include "draw/premultiply.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#define DRAW_SSE2_KERNELS 1
#define SSE2_TARGET __attribute__((target("sse2")))
// The 32-bit Windows ABI promises only a 4-byte aligned stack, and 16-byte
// values that an SSE2 function keeps on its stack need 16: the kernels'
// entry points realign their own frames.
#if defined(__i386__)
#define SSE2_ENTRY SSE2_TARGET __attribute__((force_align_arg_pointer))
#else
#define SSE2_ENTRY SSE2_TARGET
#endif
#else
#define DRAW_SSE2_KERNELS 0
#endif

namespace draw {

//--- The choice

PixelKernels bestPixelKernels() {
#if DRAW_SSE2_KERNELS
    static const PixelKernels best = [] {
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0 ? PixelKernels::Sse2
                                                                     : PixelKernels::Plain;
    }();
    return best;
#else
    return PixelKernels::Plain;
#endif
}

namespace {

PixelKernels& kernelsInUse() {
    static PixelKernels inUse = bestPixelKernels();
    return inUse;
}

bool sse2InUse() {
    return kernelsInUse() == PixelKernels::Sse2;
}

} // namespace

PixelKernels pixelKernelsInUse() {
    return kernelsInUse();
}

PixelKernels usePixelKernels(PixelKernels kernels) {
    kernelsInUse() = kernels == PixelKernels::Sse2 ? bestPixelKernels() : PixelKernels::Plain;
    return kernelsInUse();
}

//--- Box fill runs

namespace {

#if DRAW_SSE2_KERNELS
// Pixels before `p` reaches a 16-byte boundary, at most `count`; none when
// it never does (a pixel address that is not a multiple of 4).
size_t pixelsBeforeAlignment(const uint8_t* p, size_t count) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return at % 4 != 0 ? 0 : std::min(count, (16 - at % 16) % 16 / 4);
}

// Stores to aligned lines after a few plain pixels: a store that straddles
// two cache lines costs two.
template <bool XOR> SSE2_ENTRY void runSse2(uint8_t* p, size_t count, uint32_t bgr) {
    const size_t head = pixelsBeforeAlignment(p, count);
    plainRun32<XOR>(p, head, bgr);
    p += 4 * head;
    count -= head;
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i colour = _mm_set1_epi32(static_cast<int>(bgr));
    const size_t vectors = count / 4;
    for (size_t k = 0; k < vectors; ++k, p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                         XOR ? _mm_xor_si128(v, colour)
                             : _mm_or_si128(_mm_and_si128(v, keep), colour));
    }
    plainRun32<XOR>(p, count % 4, bgr);
}
#endif

} // namespace

void fillLongRun32(uint8_t* p, size_t count, uint32_t bgr) {
#if DRAW_SSE2_KERNELS
    if (sse2InUse()) {
        runSse2<false>(p, count, bgr);
        return;
    }
#endif
    plainRun32<false>(p, count, bgr);
}

void xorLongRun32(uint8_t* p, size_t count, uint32_t bgr) {
#if DRAW_SSE2_KERNELS
    if (sse2InUse()) {
        runSse2<true>(p, count, bgr);
        return;
    }
#endif
    plainRun32<true>(p, count, bgr);
}

//--- Premultiplied copies

namespace {

// Pixels per block of the plain copy: small enough that a block just copied
// is still in the first-level cache when its alpha bytes are checked.
constexpr size_t PREMULTIPLY_BLOCK_PIXELS = 1024;

// Whether every pixel of the block has alpha 255: the AND of all pixels
// keeps 0xFF in its top byte only then.
bool allOpaque(const uint8_t* p, size_t count) {
    uint32_t all = 0xFFFFFFFFu;
    for (size_t k = 0; k < count; ++k) {
        uint32_t v;
        std::memcpy(&v, p + 4 * k, 4);
        all &= v;
    }
    return (all >> 24) == 0xFFu;
}

void premultiplyInPlace(uint8_t* p, size_t count) {
    for (size_t k = 0; k < count; ++k, p += 4) {
        const unsigned alpha = p[3];
        if (alpha != 255) {
            p[0] = static_cast<uint8_t>((p[0] * alpha) >> 8);
            p[1] = static_cast<uint8_t>((p[1] * alpha) >> 8);
            p[2] = static_cast<uint8_t>((p[2] * alpha) >> 8);
        }
    }
}

// Copy first, check and scale after, block by block: the copy of an opaque
// image (the usual case) is a memcpy and one pass of ANDs.
bool premultiplyPlain(uint8_t* to, const uint8_t* from, size_t count) {
    bool opaque = true;
    for (size_t done = 0; done < count; done += PREMULTIPLY_BLOCK_PIXELS) {
        const size_t n = std::min(PREMULTIPLY_BLOCK_PIXELS, count - done);
        uint8_t* block = to + 4 * done;
        if (to != from) {
            std::memcpy(block, from + 4 * done, 4 * n);
        }
        if (!allOpaque(block, n)) {
            opaque = false;
            premultiplyInPlace(block, n);
        }
    }
    return opaque;
}

#if DRAW_SSE2_KERNELS
// Copies of at least this many bytes skip the caches: a copy of a whole
// large image is not read again soon (it is painted later), and stores that
// skip the cache do not first read the lines they overwrite.
constexpr size_t PREMULTIPLY_STREAM_BYTES = size_t(1) << 20;

// Four pixels premultiplied in 16-bit lanes: (colour * alpha) >> 8. The
// multiplier of an opaque pixel's colours, and of every alpha byte, is 256,
// which keeps them as they are.
SSE2_TARGET inline __m128i premultiplyFour(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaqueAlpha = _mm_set1_epi16(255);
    const __m128i colourLanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i alphaLanes = _mm_set_epi16(256, 0, 0, 0, 256, 0, 0, 0);
    __m128i halves[2] = {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)};
    for (__m128i& h : halves) {
        __m128i m = _mm_shufflehi_epi16(_mm_shufflelo_epi16(h, _MM_SHUFFLE(3, 3, 3, 3)),
                                        _MM_SHUFFLE(3, 3, 3, 3));
        m = _mm_sub_epi16(m, _mm_cmpeq_epi16(m, opaqueAlpha)); // 255 becomes 256
        m = _mm_or_si128(_mm_and_si128(m, colourLanes), alphaLanes);
        h = _mm_srli_epi16(_mm_mullo_epi16(h, m), 8);
    }
    return _mm_packus_epi16(halves[0], halves[1]);
}

// Whole vectors of four pixels: an opaque vector is copied (or, in place,
// left alone), any other premultiplied. Returns true when all were opaque.
template <bool STREAM>
SSE2_TARGET bool premultiplyVectors(uint8_t* to, const uint8_t* from, size_t vectors) {
    const __m128i ones = _mm_set1_epi32(-1);
    const bool inPlace = to == from;
    bool opaque = true;
    for (size_t k = 0; k < vectors; ++k, to += 16, from += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        // Bits 3, 7, 11 and 15 of the byte mask are the four alpha bytes.
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(v, ones)) & 0x8888) != 0x8888) {
            opaque = false;
            v = premultiplyFour(v);
        } else if (inPlace) {
            continue;
        }
        if (STREAM) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(to), v);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v);
        }
    }
    return opaque;
}

SSE2_ENTRY bool premultiplySse2(uint8_t* to, const uint8_t* from, size_t count) {
    const size_t vectors = count / 4;
    const bool stream = to != from && count * 4 >= PREMULTIPLY_STREAM_BYTES &&
                        reinterpret_cast<uintptr_t>(to) % 16 == 0;
    bool opaque;
    if (stream) {
        opaque = premultiplyVectors<true>(to, from, vectors);
        _mm_sfence(); // the streamed stores are seen before anything after
    } else {
        opaque = premultiplyVectors<false>(to, from, vectors);
    }
    const size_t done = 4 * vectors;
    const bool restOpaque = premultiplyPlain(to + 4 * done, from + 4 * done, count - done);
    return opaque && restOpaque;
}
#endif

} // namespace

bool premultiplyPixels(uint8_t* to, const uint8_t* from, size_t count) {
#if DRAW_SSE2_KERNELS
    // Fewer pixels than one vector go plain: nothing for SSE2 to gain.
    if (count >= PIXEL_KERNEL_MIN_RUN && sse2InUse()) {
        return premultiplySse2(to, from, count);
    }
#endif
    return premultiplyPlain(to, from, count);
}

} // namespace draw
