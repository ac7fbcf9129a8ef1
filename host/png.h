// A small PNG writer for the reference host's screenshots. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes 8-bit RGB pixels (3 bytes a pixel, rows top first, `width * 3`
// bytes a row) as a PNG file image. Compressed with deflate (fixed Huffman
// codes, LZ77 over a 32 KiB window), which suits flat screenshots.
std::vector<uint8_t> encodePng(int width, int height, const std::vector<uint8_t>& rgb);

// Decodes what encodePng writes (and any 8-bit RGB/RGBA non-interlaced PNG
// with stored or fixed/dynamic Huffman blocks) into RGB pixels. Returns false
// for anything else. Used by tests to read screenshots back.
bool decodePng(const std::vector<uint8_t>& file, int* width, int* height,
               std::vector<uint8_t>* rgb);
