// Drawing, continued: text on real DIB sections through real GDI text, and
// the fonts it is drawn in.
#include "tests/win/test_draw/draw_tests.h"

using namespace drawtests;

namespace {

//--- Text ------------------------------------------------------------------------

// Scripts name faces by their Windows names. Every Wine prefix ./run makes
// serves them with installed stand-ins, so such text comes out as the
// stand-in's, pixel for pixel, and not in some fallback face.
TEST(Text, WindowsFaceNamesDrawAsTheirStandIns) {
    const auto drawn = [](const char16_t* face, int style) {
        const ScopedImage n(whiteCanvas(320, 40));
        const ScopedFont font(100);
        EXPECT_NE(FontLoad(100, face, 16, style), 0);
        drawText(n, FontHandle(100), 2, 2, u"Hamburgefonstiv 0123", 0, std::nullopt,
                 DRAW_MODE_TRANSPARENT);
        return ImagePixels(n).all();
    };
    EXPECT_NE(drawn(u"Liberation Serif", 0), drawn(u"Liberation Sans", 0)) << "faces show apart";
    const struct {
        const char16_t* windows;
        const char16_t* standIn;
        int style;
    } cases[] = {
        {u"Arial", u"Liberation Sans", FONT_BOLD},
        {u"Times New Roman", u"Liberation Serif", FONT_ITALIC},
        {u"Courier New", u"Liberation Mono", 0},
        {u"Verdana", u"DejaVu Sans", FONT_BOLD | FONT_ITALIC},
        {u"Tahoma", u"Liberation Sans", FONT_BOLD},
        {u"Segoe UI", u"Liberation Sans", 0},
        {u"MS Sans Serif", u"Liberation Sans", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drawn(c.windows, c.style), drawn(c.standIn, c.style))
            << std::string(c.windows, c.windows + std::char_traits<char16_t>::length(c.windows));
    }
}

TEST(Text, TransparentWhiteOnWhiteChangesNothing) {
    const ScopedImage n(whiteCanvas(120, 40));
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 12, 0), 0);
    const double after = drawText(n, FontHandle(100), 4, 3, u"Hola mundo", 0x00FFFFFF, std::nullopt,
                                  DRAW_MODE_TRANSPARENT);
    EXPECT_EQ(after, 4.0 + measure(fontOf(100), L"Hola mundo").cx);
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).count, 0);
}

TEST(Text, OpaqueTextPaintsItsWholeCellWithTheBackColour) {
    const ScopedImage n(whiteCanvas(120, 40));
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 12, 0), 0);
    // Black on the default back, black.
    const double after = drawText(n, FontHandle(100), 5, 6, u"Hg", 0x00000000);
    const SIZE s = measure(fontOf(100), L"Hg");
    EXPECT_EQ(after, 5.0 + s.cx);
    const Cell c = changedCell(n, 0xFFFFFFFF);
    EXPECT_EQ(c.x0, 5);
    EXPECT_EQ(c.y0, 6);
    EXPECT_EQ(c.x1, 5 + s.cx);
    EXPECT_EQ(c.y1, 6 + s.cy);
    EXPECT_EQ(c.count, s.cx * s.cy); // every pixel of the cell, each now opaque black
    const ImagePixels px(n);
    EXPECT_EQ(px.at(5, 6), 0xFF000000u);
}

TEST(Text, RedTextStaysRed) {
    const ScopedImage n(whiteCanvas(80, 30));
    drawText(n, -1, 2, 2, u"MMM", 0x000000FF, 0x00000000);
    int red = 0;
    for (const uint32_t v : ImagePixels(n).all()) {
        if (v == 0xFFFFFFFFu)
            continue;
        EXPECT_EQ(v & 0xFF, 0u); // no blue anywhere in the cell
        EXPECT_EQ(v >> 24, 0xFFu);
        red += ((v >> 16) & 0xFF) > 0x80;
    }
    EXPECT_GT(red, 10);
}

TEST(Text, ItalicWidensTheResultByItsOverhang) {
    const ScopedImage n(whiteCanvas(200, 60));
    ASSERT_NE(FontLoad(100, u"Arial", 20, FONT_ITALIC), 0);
    const int overhang = draw::italicOverhang(fontOf(100));
    EXPECT_GT(overhang, 0);
    const double after = drawText(n, FontHandle(100), 10, 5, u"Wolf", 0x00FFFFFF, 0x00000000);
    EXPECT_EQ(after, 10.0 + measure(fontOf(100), L"Wolf").cx + overhang);
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).x1, int(after));
    ASSERT_NE(FontLoad(101, u"Arial", 20, 0), 0);
    EXPECT_EQ(draw::italicOverhang(fontOf(101)), 0);
    FontFree(-1);
}

// The overhang read pixel by pixel with GetPixel, straight from its
// definition: the last column reached by "H" drawn white on black.
int overhangByGetPixel(HFONT font) {
    MemoryDC dc;
    ScopedSelect withFont(dc.get(), font);
    SIZE h{};
    GetTextExtentPoint32W(dc.get(), L"H", 1, &h);
    GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(dc.get(), 2 * h.cx, 2 * h.cy));
    ScopedSelect withCanvas(dc.get(), canvas.get());
    const RECT all{0, 0, 2 * h.cx, 2 * h.cy};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc.get(), OPAQUE);
    SetBkColor(dc.get(), RGB(0, 0, 0));
    SetTextColor(dc.get(), RGB(255, 255, 255));
    TextOutW(dc.get(), 0, 0, L"H", 1);
    for (int n = 2 * h.cx - 1; n >= 0; --n) {
        for (int row = 0; row < h.cy; ++row) {
            const COLORREF c = GetPixel(dc.get(), n, row);
            if (c != 0 && c != CLR_INVALID) {
                return n - h.cx + 2;
            }
        }
    }
    return 0;
}

TEST(Text, ItalicOverhangIsTheLastColumnHReaches) {
    struct Case {
        const char16_t* face;
        int size;
        int style;
    };
    const Case cases[] = {
        {u"Arial", 8, FONT_ITALIC},
        {u"Arial", 20, FONT_ITALIC},
        {u"Arial", 33, FONT_ITALIC | FONT_BOLD},
        {u"Liberation Serif", 72, FONT_ITALIC},
        {u"Courier New", 15, FONT_ITALIC | FONT_UNDERLINE},
        {u"NoSuchFaceAnywhere", 27, FONT_ITALIC},
        // Rows of "H" too many to read at once (and GetPixel too slow for
        // the emulated 32-bit tier).
        {u"Arial", sizeof(void*) == 8 ? 2000 : 0, FONT_ITALIC},
    };
    for (const Case& c : cases) {
        if (!c.size) {
            continue;
        }
        ASSERT_NE(FontLoad(100, c.face, c.size, c.style), 0);
        const int expected = overhangByGetPixel(fontOf(100));
        EXPECT_GT(expected, 0) << c.size;
        EXPECT_EQ(draw::italicOverhang(fontOf(100)), expected) << c.size;
    }
    FontFree(-1);
}

TEST(Text, NegativeXDrawsTheVisibleRightPartFromColumnZero) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 14, 0), 0);
    const ScopedImage whole(whiteCanvas(150, 30)), cut(whiteCanvas(150, 30));
    const int shift = 13;
    drawText(whole, FontHandle(100), 0, 4, u"WAVE wave", 0x00FFFFFF, 0x00800000);
    const double afterCut =
        drawText(cut, FontHandle(100), -shift, 4, u"WAVE wave", 0x00FFFFFF, 0x00800000);
    EXPECT_EQ(afterCut, double(measure(fontOf(100), L"WAVE wave").cx - shift));
    const ImagePixels a(whole), b(cut);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x + shift < 150; ++x) {
            ASSERT_EQ(b.at(x, y), a.at(x + shift, y)) << x << "," << y;
        }
    }
}

TEST(Text, TallFontsGrowTheGlyphBuffer) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 60, 0), 0);
    const SIZE s = measure(fontOf(100), L"Hg");
    ASSERT_GT(s.cy, 50);
    // Set before any text, or after text in a smaller font: either way the
    // whole cell is drawn, not cut at the 50 rows the system font needs.
    for (bool textBefore : {false, true}) {
        const ScopedImage n(whiteCanvas(200, 120));
        {
            Pass pass(n);
            if (textBefore) {
                DrawString(150, 100, u"x", 0x00FFFFFF, 0x00FFFFFF); // white on white
            }
            DrawSetFont(FontHandle(100));
            DrawString(0, 0, u"Hg", 0x00000000, 0x00000000);
        }
        EXPECT_EQ(changedCell(n, 0xFFFFFFFF).y1, s.cy) << textBefore;
    }
}

// Texts of growing widths in one pass come out as each does in a pass of
// its own, whatever the texts before left in the glyph buffer: an italic
// one after wider text, and one wider than the canvas from left of it,
// which reaches the canvas's right edge.
TEST(Text, EachTextOfAPassDrawsAsInAPassOfItsOwn) {
    const ScopedFont upright(100), italic(101);
    ASSERT_NE(FontLoad(100, u"Arial", 14, 0), 0);
    ASSERT_NE(FontLoad(101, u"Arial", 14, FONT_ITALIC), 0);
    const struct {
        int font;
        double x, y;
        const char16_t* text;
    } texts[] = {
        {100, 2, 0, u"Hg"},
        {101, 2, 20, u"Wolf Wolf"},
        {100, -9.5, 40, u"WAVE wave WAVE wave WAVE wave"},
        {101, 40, 60, u"Wolf"},
    };
    const ScopedImage together(whiteCanvas(160, 80)), apart(whiteCanvas(160, 80));
    {
        Pass pass(together);
        for (const auto& t : texts) {
            DrawSetFont(FontHandle(t.font));
            DrawString(t.x, t.y, t.text, 0x00000000, 0x00C0FFFF);
        }
    }
    for (const auto& t : texts) {
        drawText(apart, FontHandle(t.font), t.x, t.y, t.text, 0x00000000, 0x00C0FFFF);
    }
    EXPECT_EQ(changedCell(together, 0xFFFFFFFF).x1, 160);
    EXPECT_TRUE(ImagePixels(together).all() == ImagePixels(apart).all());
}

TEST(Text, AFontThatCannotBeSelectedLeavesTheLastGoodOneInUse) {
    const ScopedFont font(100);
    ASSERT_NE(FontLoad(100, u"Arial", 40, 0), 0);
    ASSERT_NE(FontLoad(101, u"Arial", 8, 0), 0);
    const HFONT big = fontOf(100);
    const ScopedImage n(whiteCanvas(300, 100));
    const intptr_t gone = FontHandle(101);
    FontFree(101); // a stale handle, nothing made after it
    double after = 0;
    {
        Pass pass(n);
        DrawSetFont(FontHandle(100));
        DrawSetFont(gone);
        after = DrawString(0, 0, u"Hg", 0x00000000, 0x00000000);
    }
    const SIZE s = measure(big, L"Hg");
    EXPECT_EQ(after, static_cast<double>(s.cx));
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).y1, s.cy);
}

TEST(Text, EmptyTextAndFarAwayPositionsDrawNothing) {
    const ScopedImage n(whiteCanvas(40, 20));
    {
        Pass pass(n);
        EXPECT_EQ(DrawString(3, 3, u"", 0), 3.0);
        const double inf = std::numeric_limits<double>::infinity();
        for (double x : {-1e300, -3e9, 1e12, inf, -inf}) {
            DrawString(x, 2, u"far", 0x000000FF, 0x0000FF00);
        }
        for (double y : {-1e300, -3e9, 3e9, inf}) {
            DrawString(2, y, u"far", 0x000000FF, 0x0000FF00);
        }
        const double nan = std::numeric_limits<double>::quiet_NaN();
        EXPECT_TRUE(std::isnan(DrawString(nan, 2, u"far", 0x000000FF)));
        DrawString(2, nan, u"far", 0x000000FF);
        EXPECT_EQ(DrawString(-1e12, 2, u"x", 0),
                  -1e12 + measure(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), L"x").cx);
    }
    EXPECT_EQ(changedCell(n, 0xFFFFFFFF).count, 0);
}

//--- Fonts -----------------------------------------------------------------------

TEST(Fonts, LoadAsksForThePointSizeAtScreenDpiAndTheStyles) {
    EXPECT_EQ(ui::screenDpi(), 96);
    struct Case {
        int size, style;
        LONG height, weight;
        BYTE italic, underline, strike, quality;
    };
    const Case cases[] = {
        {12, 0, -16, 400, 0, 0, 0, 0},
        {12, FONT_BOLD | FONT_ITALIC, -16, 700, 1, 0, 0, 0},
        {9, FONT_UNDERLINE | FONT_STRIKEOUT | FONT_PROOF_QUALITY, -12, 400, 0, 1, 1, PROOF_QUALITY},
        {72, 0, -96, 400, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const intptr_t number = FontLoad(UI_ANY, u"Liberation Serif", c.size, c.style);
        ASSERT_GE(number, FIRST_ALLOCATED_NUMBER);
        LOGFONTW lf{};
        ASSERT_EQ(GetObjectW(fontOf(static_cast<int>(number)), sizeof(lf), &lf), int(sizeof(lf)));
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        EXPECT_EQ(lf.lfItalic, c.italic);
        EXPECT_EQ(lf.lfUnderline, c.underline);
        EXPECT_EQ(lf.lfStrikeOut, c.strike);
        EXPECT_EQ(lf.lfQuality, c.quality);
        EXPECT_EQ(lf.lfOutPrecision, OUT_TT_PRECIS);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
        EXPECT_STREQ(lf.lfFaceName, L"Liberation Serif");
        FontFree(static_cast<int>(number));
        EXPECT_EQ(FontHandle(static_cast<int>(number)), 0);
    }
}

TEST(Fonts, FixedNumbersReturnTheHandleAndReuseFreesTheOldFont) {
    const HFONT first = reinterpret_cast<HFONT>(FontLoad(100, u"Arial", 10, 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(FontHandle(100)), first);
    const HFONT second = reinterpret_cast<HFONT>(FontLoad(100, u"Arial", 11, 0));
    ASSERT_NE(second, nullptr);
    if (second != first) {
        EXPECT_FALSE(alive(first));
    }
    FontFree(100);
    EXPECT_EQ(FontHandle(100), 0);
    FontFree(100);                                  // already gone: nothing
    EXPECT_EQ(FontLoad(70000, u"Arial", 10, 0), 0); // beyond the fixed range
}

TEST(Lifecycle, ShutdownFreesImagesFontsAndAnOpenPass) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, 4, 4, 32, 0));
    const intptr_t f = FontLoad(UI_ANY, u"Arial", 10, 0);
    const HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(n));
    ASSERT_NE(DrawStart(ImgOutput(n)), 0);
    stopDrawing();
    EXPECT_EQ(draw::currentRaster(), nullptr);
    EXPECT_FALSE(ImgExists(n));
    EXPECT_EQ(FontHandle(static_cast<int>(f)), 0);
    EXPECT_FALSE(alive(bitmap));
    startDrawing();
}

} // namespace
