// Parameter texts into numbers, colours and font choices. Pure functions:
// no conversion fails; a text that is not a number reads as 0.
#pragma once

#include <cstdint>

#include "base/text.h"

// Reads an optionally signed whole number: leading blanks and tabs, one "-"
// or "+", then decimal digits, "$" and hexadecimal digits, or "%" and binary
// digits, up to the first character that is not a digit. Wraps silently in
// 64 bits. Callers that need a coordinate keep the low 32 bits (low32).
int64_t parseNumber(const Text& text);

// The plain decimal text of `value`, which parseNumber reads back.
Text formatNumber(int64_t value);

inline int32_t low32(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// A colour reference 0x00BBGGRR. "$BBGGRR" (exactly seven code units) is read
// pair by pair; any other text is parseNumber's low 32 bits, so "255" is red
// and "#FF0000" is black.
uint32_t parseColor(const Text& text);

// The three comma-separated fields of a font description, split but without
// the drawing defaults: the editor reads them this way to prepare its dialog.
struct FontFields {
    Text face;  // field 1, untrimmed
    Text size;  // field 2, untrimmed
    int styles; // FONT_BOLD, FONT_ITALIC, FONT_UNDERLINE from upper-case B, I, U in field 3
};
FontFields splitFontSpec(const Text& text);

struct FontSpec {
    Text face;    // never empty: "Arial" when the description gives none
    int32_t size; // points, always > 0: 12 when missing, zero or negative
    int styles;
};

// The reading used for drawing: splitFontSpec plus the defaults.
FontSpec parseFontSpec(const Text& text);

// Writes a description that parseFontSpec reads back: "face,size,styles",
// with the style letters in the order B, I, U and the last comma always there.
Text formatFontSpec(const Text& face, int32_t size, int styles);
