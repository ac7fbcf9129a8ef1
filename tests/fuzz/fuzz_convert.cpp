// Fuzzes the parameter conversions against a second, deliberately simple
// reading of the same rules kept here: any disagreement aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "canvas/convert.h"
#include "draw/font_style.h"

namespace {

// -1 when `c` is not a digit of `base`.
int digitIn(char16_t c, int base) {
    static const char16_t lower[] = u"0123456789abcdef";
    static const char16_t upper[] = u"0123456789ABCDEF";
    for (int d = 0; d < base; ++d) {
        if (c == lower[d] || c == upper[d]) {
            return d;
        }
    }
    return -1;
}

uint64_t referenceNumber(const Text& t) {
    size_t i = t.find_first_not_of(u" \t");
    if (i == Text::npos) {
        return 0;
    }
    uint64_t sign = 1;
    if (t[i] == u'-') {
        sign = ~uint64_t(0); // multiplying by this negates modulo 2^64
        ++i;
    } else if (t[i] == u'+') {
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == u'$') {
        base = 16, ++i;
    } else if (i < t.size() && t[i] == u'%') {
        base = 2, ++i;
    }
    size_t end = i;
    while (end < t.size() && digitIn(t[end], base) >= 0) {
        ++end;
    }
    // Horner's rule from the right: value = sum digit * base^k, mod 2^64.
    uint64_t value = 0, power = 1;
    for (size_t k = end; k > i; --k) {
        value += static_cast<uint64_t>(digitIn(t[k - 1], base)) * power;
        power *= static_cast<uint64_t>(base);
    }
    return value * sign;
}

uint32_t referenceColour(const Text& t) {
    if (t.size() == 7 && t[0] == u'$') {
        uint32_t parts[3];
        for (int p = 0; p < 3; ++p) {
            int hi = digitIn(t[1 + 2 * p], 16), lo = digitIn(t[2 + 2 * p], 16);
            parts[p] = hi < 0 ? 0 : lo < 0 ? static_cast<uint32_t>(hi) : hi * 16u + lo;
        }
        return parts[2] | parts[1] << 8 | parts[0] << 16;
    }
    return static_cast<uint32_t>(referenceNumber(t));
}

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte chooses how the rest reads: odd, as UTF-16 code units;
    // even, one code unit a byte (so seeds stay readable ASCII).
    if (size == 0) {
        return 0;
    }
    Text text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2) {
            text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
        }
    } else {
        text.assign(data + 1, data + size);
    }
    check(static_cast<uint64_t>(parseNumber(text)) == referenceNumber(text));
    check(parseColor(text) == referenceColour(text));

    std::vector<Text> fields(1);
    for (char16_t c : text) {
        if (c == u',') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    fields.resize(std::max<size_t>(fields.size(), 3));
    FontSpec spec = parseFontSpec(text);
    check(spec.face == (fields[0].empty() ? Text(u"Arial") : fields[0]));
    int32_t size32 = static_cast<int32_t>(static_cast<uint32_t>(referenceNumber(fields[1])));
    check(spec.size == (size32 > 0 ? size32 : 12));
    int styles = (fields[2].find(u'B') != Text::npos ? FONT_BOLD : 0) |
                 (fields[2].find(u'I') != Text::npos ? FONT_ITALIC : 0) |
                 (fields[2].find(u'U') != Text::npos ? FONT_UNDERLINE : 0);
    check(spec.styles == styles);
    FontSpec back = parseFontSpec(formatFontSpec(spec.face, spec.size, spec.styles));
    check(spec.face.find(u',') != Text::npos ||
          (back.face == spec.face && back.size == spec.size && back.styles == spec.styles));
    return 0;
}
