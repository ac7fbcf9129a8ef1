#include "draw/premultiply.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace draw {

namespace {

// Pixels per block: small enough that a block just copied is still in the
// first-level cache when its alpha bytes are checked.
constexpr size_t PREMULTIPLY_BLOCK_PIXELS = 1024;

// Whether every pixel of the block has alpha 255: the AND of all pixels
// keeps 0xFF in its top byte only then (a loop the compiler vectorises).
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

#if defined(__SSE2__)
// Copies at least this many bytes past the caches: a copy of a whole large
// image is not read again soon (it is painted later), and stores that skip
// the cache do not first read the lines they overwrite.
constexpr size_t PREMULTIPLY_STREAM_BYTES = size_t(1) << 20;

// The copy of a large image, to a destination aligned to 16 bytes, with
// the alpha check on the way. A block with a pixel that is not opaque is
// written again from the source, premultiplied.
bool streamCopy(uint8_t* to, const uint8_t* from, size_t count) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    bool opaque = true;
    for (size_t done = 0; done < count; done += PREMULTIPLY_BLOCK_PIXELS) {
        const size_t n = std::min(PREMULTIPLY_BLOCK_PIXELS, count - done);
        uint8_t* out = to + 4 * done;
        const uint8_t* in = from + 4 * done;
        const size_t vectors = n / 4;
        __m128i all = alpha;
        for (size_t k = 0; k < vectors; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * k));
            all = _mm_and_si128(all, v);
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + 16 * k), v);
        }
        const size_t rest = 4 * vectors;
        std::memcpy(out + 4 * rest, in + 4 * rest, 4 * (n - rest));
        const bool vectorsOpaque =
            _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(all, alpha), alpha)) == 0xFFFF;
        if (!vectorsOpaque || !allOpaque(out + 4 * rest, n - rest)) {
            opaque = false;
            _mm_sfence(); // the streamed stores land before the block is read back
            premultiplyInPlace(out, n);
        }
    }
    _mm_sfence();
    return opaque;
}
#endif

} // namespace

bool premultiplyPixels(uint8_t* to, const uint8_t* from, size_t count) {
#if defined(__SSE2__)
    if (to != from && count * 4 >= PREMULTIPLY_STREAM_BYTES &&
        reinterpret_cast<uintptr_t>(to) % 16 == 0) {
        return streamCopy(to, from, count);
    }
#endif
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

} // namespace draw
