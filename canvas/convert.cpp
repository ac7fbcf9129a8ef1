#include "canvas/convert.h"

#include "draw/font_style.h"

namespace {

int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

Text field(const Text& text, int wanted) {
    int index = 1;
    size_t start = 0;
    while (index < wanted) {
        size_t comma = text.find(u',', start);
        if (comma == Text::npos) {
            return Text();
        }
        start = comma + 1;
        ++index;
    }
    size_t end = text.find(u',', start);
    return text.substr(start, end == Text::npos ? Text::npos : end - start);
}

} // namespace

int64_t parseNumber(const Text& text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    unsigned base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < n && text[i] == u'%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic: overflow wraps at 2^64 by definition, never UB.
    uint64_t value = 0;
    for (; i < n; ++i) {
        int digit = digitValue(text[i]);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) {
            break;
        }
        value = value * base + static_cast<unsigned>(digit);
    }
    if (negative) {
        value = 0 - value;
    }
    return static_cast<int64_t>(value);
}

uint32_t parseColor(const Text& text) {
    if (text.size() == 7 && text[0] == u'$') {
        auto pair = [&](size_t at) {
            return static_cast<uint32_t>(parseNumber(Text(u"$") + text.substr(at, 2))) & 0xFF;
        };
        uint32_t blue = pair(1), green = pair(3), red = pair(5);
        return red + green * 256 + blue * 65536;
    }
    return static_cast<uint32_t>(low32(parseNumber(text)));
}

FontFields splitFontSpec(const Text& text) {
    FontFields fields{field(text, 1), field(text, 2), 0};
    const Text style = field(text, 3);
    if (style.find(u'B') != Text::npos) {
        fields.styles |= FONT_BOLD;
    }
    if (style.find(u'I') != Text::npos) {
        fields.styles |= FONT_ITALIC;
    }
    if (style.find(u'U') != Text::npos) {
        fields.styles |= FONT_UNDERLINE;
    }
    return fields;
}

FontSpec parseFontSpec(const Text& text) {
    FontFields fields = splitFontSpec(text);
    FontSpec spec{fields.face, low32(parseNumber(fields.size)), fields.styles};
    if (spec.face.empty()) {
        spec.face = u"Arial";
    }
    if (spec.size <= 0) {
        spec.size = 12;
    }
    return spec;
}

Text formatNumber(int64_t value) {
    const std::string digits = std::to_string(value);
    return Text(digits.begin(), digits.end());
}

Text formatFontSpec(const Text& face, int32_t size, int styles) {
    Text out = face + u"," + formatNumber(size) + u",";
    if (styles & FONT_BOLD) {
        out += u"B";
    }
    if (styles & FONT_ITALIC) {
        out += u"I";
    }
    if (styles & FONT_UNDERLINE) {
        out += u"U";
    }
    return out;
}
