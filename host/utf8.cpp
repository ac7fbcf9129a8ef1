#include "host/utf8.h"

#include <cstdint>

namespace host {

namespace {

// The first byte of a UTF-8 sequence: `marker` under `mask`, the value's
// top bits in the rest. `smallest` is the least code point that needs this
// many bytes; a smaller one written so is an overlong form.
struct Utf8Lead {
    uint8_t mask;
    uint8_t marker;
    int continuations; // bytes that follow the first
    uint32_t smallest;
};

constexpr Utf8Lead UTF8_LEADS[] = {
    {0x80, 0x00, 0, 0},
    {0xE0, 0xC0, 1, 0x80},
    {0xF0, 0xE0, 2, 0x800},
    {0xF8, 0xF0, 3, 0x10000},
};
constexpr int UTF8_LEAD_COUNT = sizeof UTF8_LEADS / sizeof UTF8_LEADS[0];
// Every byte after the first is 10xxxxxx: six more bits of the value.
constexpr uint8_t UTF8_CONTINUATION_MASK = 0xC0;
constexpr uint8_t UTF8_CONTINUATION_MARKER = 0x80;
constexpr int UTF8_CONTINUATION_BITS = 6;
constexpr uint32_t UTF8_CONTINUATION_VALUE = (1u << UTF8_CONTINUATION_BITS) - 1;

constexpr uint32_t UTF16_HIGH_SURROGATE_FIRST = 0xD800;
constexpr uint32_t UTF16_HIGH_SURROGATE_LAST = 0xDBFF;
constexpr uint32_t UTF16_LOW_SURROGATE_FIRST = 0xDC00;
constexpr uint32_t UTF16_LOW_SURROGATE_LAST = 0xDFFF;
// Each surrogate of a pair carries ten bits of the value.
constexpr int UTF16_SURROGATE_BITS = 10;
constexpr uint32_t UTF16_SURROGATE_VALUE = (1u << UTF16_SURROGATE_BITS) - 1;
// Code points from here on take a surrogate pair.
constexpr uint32_t UTF16_SUPPLEMENTARY_FIRST = 0x10000;
constexpr uint32_t UNICODE_LAST_CODE_POINT = 0x10FFFF;
constexpr uint32_t UNICODE_REPLACEMENT_CHARACTER = 0xFFFD;

bool isHighSurrogate(uint32_t unit) {
    return unit >= UTF16_HIGH_SURROGATE_FIRST && unit <= UTF16_HIGH_SURROGATE_LAST;
}

bool isLowSurrogate(uint32_t unit) {
    return unit >= UTF16_LOW_SURROGATE_FIRST && unit <= UTF16_LOW_SURROGATE_LAST;
}

bool isSurrogate(uint32_t cp) {
    return cp >= UTF16_HIGH_SURROGATE_FIRST && cp <= UTF16_LOW_SURROGATE_LAST;
}

// The lead form a first byte has; null for a continuation byte or a byte
// that never starts a sequence.
const Utf8Lead* leadOf(uint8_t first) {
    for (const Utf8Lead& lead : UTF8_LEADS) {
        if ((first & lead.mask) == lead.marker) {
            return &lead;
        }
    }
    return nullptr;
}

void appendUtf16(uint32_t cp, std::u16string* out) {
    if (cp < UTF16_SUPPLEMENTARY_FIRST) {
        out->push_back(static_cast<char16_t>(cp));
        return;
    }
    cp -= UTF16_SUPPLEMENTARY_FIRST;
    out->push_back(
        static_cast<char16_t>(UTF16_HIGH_SURROGATE_FIRST + (cp >> UTF16_SURROGATE_BITS)));
    out->push_back(static_cast<char16_t>(UTF16_LOW_SURROGATE_FIRST + (cp & UTF16_SURROGATE_VALUE)));
}

void appendUtf8(uint32_t cp, std::string* out) {
    int n = 0; // continuation bytes: the longest form whose smallest value cp reaches
    while (n + 1 < UTF8_LEAD_COUNT && cp >= UTF8_LEADS[n + 1].smallest) {
        ++n;
    }
    out->push_back(static_cast<char>(UTF8_LEADS[n].marker | (cp >> (UTF8_CONTINUATION_BITS * n))));
    for (int k = n - 1; k >= 0; --k) {
        out->push_back(
            static_cast<char>(UTF8_CONTINUATION_MARKER |
                              ((cp >> (UTF8_CONTINUATION_BITS * k)) & UTF8_CONTINUATION_VALUE)));
    }
}

} // namespace

bool utf8ToUtf16(const std::string& utf8, std::u16string* out) {
    out->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        const uint8_t first = static_cast<uint8_t>(utf8[i]);
        const Utf8Lead* lead = leadOf(first);
        if (!lead || utf8.size() - i <= static_cast<size_t>(lead->continuations)) {
            return false;
        }
        uint32_t cp = first & static_cast<uint8_t>(~lead->mask);
        for (int k = 1; k <= lead->continuations; ++k) {
            const uint8_t c = static_cast<uint8_t>(utf8[i + k]);
            if ((c & UTF8_CONTINUATION_MASK) != UTF8_CONTINUATION_MARKER) {
                return false;
            }
            cp = (cp << UTF8_CONTINUATION_BITS) | (c & UTF8_CONTINUATION_VALUE);
        }
        if (cp < lead->smallest || cp > UNICODE_LAST_CODE_POINT || isSurrogate(cp)) {
            return false;
        }
        appendUtf16(cp, out);
        i += static_cast<size_t>(lead->continuations) + 1;
    }
    return true;
}

std::string utf16ToUtf8(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (isHighSurrogate(cp) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            cp = UTF16_SUPPLEMENTARY_FIRST +
                 ((cp - UTF16_HIGH_SURROGATE_FIRST) << UTF16_SURROGATE_BITS) +
                 (text[i + 1] - UTF16_LOW_SURROGATE_FIRST);
            ++i;
        } else if (isSurrogate(cp)) {
            cp = UNICODE_REPLACEMENT_CHARACTER; // a lone surrogate has no UTF-8 form
        }
        appendUtf8(cp, &out);
    }
    return out;
}

} // namespace host
