// Premultiplied copies of 32-bit pixels (bytes blue, green, red, alpha), as
// the picture control paints them; one of the pixel kernels
// (pixel_kernels.cpp), in SSE2 where the processor has it. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

namespace draw {

// Copies `count` pixels from `from` to `to` (the same address premultiplies
// in place; otherwise the two must not overlap). Each colour byte of a
// pixel whose alpha is not 255 becomes (colour * alpha) >> 8; opaque pixels
// are copied unchanged. Any alignment of either address. Returns true when
// every pixel was opaque.
bool premultiplyPixels(uint8_t* to, const uint8_t* from, size_t count);

} // namespace draw
