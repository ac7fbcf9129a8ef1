// PNG files for the reference host's screenshots. Platform-free.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Writes 8-bit RGB pixels (3 bytes a pixel, rows top first, `width * 3`
// bytes a row) to `file` as a PNG image and flushes it. False, with nothing
// written, when the pixels do not fill a non-empty `width` x `height`; false
// when the file does not take every byte.
bool writePng(std::FILE* file, int width, int height, const std::vector<uint8_t>& rgb);
