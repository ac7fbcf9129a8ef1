#include <gtest/gtest.h>

#include "canvas/action_args.h"
#include "canvas/convert.h"
#include "draw/font_style.h"

namespace {

std::string narrow(const Text& t) {
    return std::string(t.begin(), t.end());
}

TEST(ParseNumber, Table) {
    const std::pair<Text, int64_t> cases[] = {
        {u"  -7abc", -7},
        {u"+$ff", 255},
        {u"-%101", -5},
        {u"- 5", 0},
        {u"%2", 0},
        {u"12.9", 12},
        {u"", 0},
        {u"18446744073709551617", 1},
        {u"\t\t42", 42},
        {u"$", 0},
        {u"-", 0},
        {u"+-3", 0},
        {u"1e3", 1},
        {u"0x1F", 0},
        {u"$7FFFFFFFFFFFFFFF", INT64_MAX},
        {u"-9223372036854775808", INT64_MIN},
        {u"$FFFFFFFFFFFFFFFF", -1},
        {u"$1G", 1},
        {u"\n5", 0}, // only blanks and tabs are skipped
        {u"10px", 10},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseNumber(text), expected) << narrow(text);
    }
}

TEST(ParseNumber, LowBitsAsCoordinateAndColour) {
    EXPECT_EQ(low32(parseNumber(u"4294967297")), 1);
    EXPECT_EQ(low32(parseNumber(u"2147483648")), INT32_MIN);
    EXPECT_EQ(parseColor(u"-1"), 0xFFFFFFFFu);
}

TEST(ParseColor, Table) {
    const std::pair<Text, uint32_t> cases[] = {
        {u"$0000FF", 0x0000FF},
        {u"$FF0000", 0xFF0000},
        {u"$00ff80", 0x00FF80},
        {u"255", 0x0000FF},
        {u" $0000FF", 0x0000FF},
        {u"$1G2H3I", 0x010203},
        {u"$1G2H3I4", 1},
        {u"$GG0000", 0},
        {u"#FF0000", 0},
        {u"", 0},
        {u"16711680", 0xFF0000},
        {u"$FF", 0xFF},
        {u"%11", 3},
        {u"$123456", 0x123456},
        {u"$-10000", 0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseColor(text), expected) << narrow(text);
    }
}

struct FontCase {
    Text text;
    Text face;
    int32_t size;
    int styles;
};

TEST(ParseFontSpec, Table) {
    const FontCase cases[] = {
        {u"", u"Arial", 12, 0},
        {u"Verdana,14,BU", u"Verdana", 14, FONT_BOLD | FONT_UNDERLINE},
        {u"Times New Roman,0,bi", u"Times New Roman", 12, 0},
        {u",9", u"Arial", 9, 0},
        {u"Courier, 10, I", u"Courier", 10, FONT_ITALIC},
        {u"Arial,-3,BIUBX", u"Arial", 12, FONT_BOLD | FONT_ITALIC | FONT_UNDERLINE},
        {u"Arial,abc", u"Arial", 12, 0},
        {u"Arial,12,B,I", u"Arial", 12, FONT_BOLD},  // fields after the third are ignored
        {u" Arial ,4294967308,", u" Arial ", 12, 0}, // untrimmed; low 32 bits of 2^32 + 12
        {u"Arial,12", u"Arial", 12, 0},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(narrow(c.text));
        FontSpec spec = parseFontSpec(c.text);
        EXPECT_EQ(spec.face, c.face);
        EXPECT_EQ(spec.size, c.size);
        EXPECT_EQ(spec.styles, c.styles);
    }
}

TEST(FontFields, NoDefaultsForTheEditor) {
    FontFields f = splitFontSpec(u"Arial");
    EXPECT_EQ(f.face, u"Arial");
    EXPECT_EQ(f.size, u"");
    EXPECT_EQ(f.styles, 0);
    f = splitFontSpec(u",,IU");
    EXPECT_EQ(f.face, u"");
    EXPECT_EQ(f.styles, FONT_ITALIC | FONT_UNDERLINE);
}

TEST(FormatFontSpec, RoundTripsThroughTheParser) {
    EXPECT_EQ(formatFontSpec(u"Verdana", 11, FONT_ITALIC), u"Verdana,11,I");
    EXPECT_EQ(formatFontSpec(u"Arial", 12, 0), u"Arial,12,");
    EXPECT_EQ(formatFontSpec(u"A", 9, FONT_UNDERLINE | FONT_ITALIC | FONT_BOLD), u"A,9,BIU");
    FontSpec back = parseFontSpec(formatFontSpec(u"Georgia", 20, FONT_BOLD | FONT_UNDERLINE));
    EXPECT_EQ(back.face, u"Georgia");
    EXPECT_EQ(back.size, 20);
    EXPECT_EQ(back.styles, FONT_BOLD | FONT_UNDERLINE);
}

// The arguments an action reads, converted once by the kind of each of its
// rows (read from the table at run time); slots the host left out read as
// empty: 0, no colour, the font's defaults.
TEST(ConvertArguments, EachSlotByItsRowsKind) {
    using C = canvas::DrawCircleParam;
    using T = canvas::DrawTextParam;
    const auto c = canvas::convertArguments(*canvas::findActionNamed(u"kiv_DrawCircle"),
                                            {u"c", u"$10", u"-3", u"4294967346", u"9"});
    const canvas::Args<C> circle(c);
    EXPECT_EQ(circle.text<C::Canvas>(), u"c");
    EXPECT_EQ(circle.number<C::X>(), 16);
    EXPECT_EQ(circle.number<C::Y>(), -3);
    EXPECT_EQ(circle.number<C::Radius>(), 50) << "the low 32 bits";
    EXPECT_EQ(circle.colour<C::Colour>(), std::optional<uint32_t>(9));
    const auto t = canvas::convertArguments(*canvas::findActionNamed(u"kiv_DrawText"),
                                            {u"c", u"$0000FF", u"", u"x", u"0"});
    const canvas::Args<T> text(t);
    // A plain text row is not read as a colour (that does not build), and
    // is not converted to one either.
    EXPECT_EQ(t[static_cast<size_t>(T::Text)].colour, std::nullopt) << "a plain text row";
    EXPECT_EQ(text.number<T::Y>(), 0);
    EXPECT_EQ(text.colour<T::TextColour>(), std::optional<uint32_t>(0)) << "black";
    EXPECT_EQ(text.colour<T::BackColour>(), std::nullopt) << "empty: none";
    EXPECT_EQ(text.font<T::Font>().face, u"Arial");
    EXPECT_EQ(text.font<T::Font>().size, 12);
}

} // namespace
