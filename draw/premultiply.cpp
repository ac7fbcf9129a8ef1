#include "draw/premultiply.h"

#include <algorithm>
#include <cstring>

namespace draw {

namespace {

// Pixels per block: small enough that a block just copied is still in the
// first-level cache when its alpha bytes are checked.
constexpr size_t BLOCK = 1024;

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

} // namespace

bool premultiplyPixels(uint8_t* to, const uint8_t* from, size_t count) {
    bool opaque = true;
    for (size_t done = 0; done < count; done += BLOCK) {
        const size_t n = std::min(BLOCK, count - done);
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
