#include "draw/drawpass_win.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>

#include "draw/font_win.h"

namespace draw {

namespace {

// Everything one drawing pass holds. Its destructor is the one release
// path: glyph buffer, glyph device context, the output's device context,
// then the batch limit.
struct DrawContext {
    Raster raster;

    HDC memoryDC = nullptr;           // owned; the image bitmap selected in it
    HGDIOBJ memoryDCBitmap = nullptr; // what the memory DC held before
    HGDIOBJ memoryDCFont = nullptr;
    DWORD savedBatchLimit = 0;

    // Text needs a glyph device context and buffer, and the italic
    // overhang of its font. Most passes draw no text (a circle, a box), so
    // they are made by the first DrawString that renders something; until
    // then the pass only tracks the font and the height the buffer needs.
    bool started = false;            // DrawStart succeeded
    HDC glyphDC = nullptr;           // owned
    HGDIOBJ glyphDCBitmap = nullptr; // what the glyph DC held before
    HGDIOBJ glyphDCFont = nullptr;
    HBITMAP glyphBitmap = nullptr; // owned, selected in glyphDC
    uint8_t* glyphBits = nullptr;
    int64_t glyphPitch = 0;
    int glyphWidth = 0, glyphHeight = 0;
    int glyphHeightNeeded = 0; // the tallest need of the fonts set in this pass

    HFONT font = nullptr;         // not owned
    HFONT overhangFont = nullptr; // the font `overhang` was measured for
    int overhang = 0;

    DrawContext() = default;
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;
    ~DrawContext() {
        if (glyphDC) {
            SelectObject(glyphDC, glyphDCBitmap);
            SelectObject(glyphDC, glyphDCFont);
        }
        if (glyphBitmap) {
            DeleteObject(glyphBitmap);
        }
        if (glyphDC) {
            DeleteDC(glyphDC);
        }
        if (memoryDC) {
            SelectClipRgn(memoryDC, nullptr);
            SelectObject(memoryDC, memoryDCFont);
            SelectObject(memoryDC, memoryDCBitmap);
            DeleteDC(memoryDC);
            GdiSetBatchLimit(savedBatchLimit);
        }
    }
};

std::unique_ptr<DrawContext> g_current;

intptr_t asOutput(const DrawContext* c) {
    return reinterpret_cast<intptr_t>(c);
}

// Makes the glyph device context, with the font the output's context holds
// (the last one that could be selected), and a glyph buffer at least as
// tall as the fonts of the pass need (grown only, never shrunk). A buffer
// that cannot be enlarged stays as it is, and taller text is cut to it.
// False without a context or a buffer.
bool ensureGlyphs(DrawContext* c) {
    if (!c->glyphDC) {
        c->glyphDC = CreateCompatibleDC(nullptr);
        if (!c->glyphDC) {
            return false;
        }
        c->glyphDCBitmap = GetCurrentObject(c->glyphDC, OBJ_BITMAP);
        c->glyphDCFont = GetCurrentObject(c->glyphDC, OBJ_FONT);
        SelectObject(c->glyphDC, GetCurrentObject(c->memoryDC, OBJ_FONT));
    }
    if (c->glyphBitmap && c->glyphHeight >= c->glyphHeightNeeded) {
        return true;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = c->raster.width();
    info.bmiHeader.biHeight = -c->glyphHeightNeeded; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP buffer = CreateDIBSection(c->glyphDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!buffer || !bits) {
        if (buffer) {
            DeleteObject(buffer);
        }
        return c->glyphBitmap != nullptr;
    }
    SelectObject(c->glyphDC, buffer);
    if (c->glyphBitmap) {
        DeleteObject(c->glyphBitmap);
    }
    c->glyphBitmap = buffer;
    c->glyphBits = static_cast<uint8_t*>(bits);
    c->glyphPitch = rowPitch(c->raster.width(), 24);
    c->glyphWidth = c->raster.width();
    c->glyphHeight = c->glyphHeightNeeded;
    SetBkMode(c->glyphDC, OPAQUE);
    SetTextAlign(c->glyphDC, 0);
    SetBkColor(c->glyphDC, RGB(0, 0, 0));
    SetTextColor(c->glyphDC, RGB(255, 255, 255));
    return true;
}

// Whether a double lies strictly between two bounds that fit an int.
bool within(double v, double low, double high) {
    return v > low && v < high;
}

} // namespace

intptr_t makeBitmapOutput(const Surface& surface, HBITMAP bitmap) {
    endCurrentContext();
    if (!surface.firstRow) {
        return 0;
    }
    auto context = std::make_unique<DrawContext>();
    context->raster = Raster(surface);
    context->memoryDC = CreateCompatibleDC(nullptr);
    if (!context->memoryDC) {
        return 0;
    }
    context->savedBatchLimit = GdiGetBatchLimit();
    GdiSetBatchLimit(1);
    context->memoryDCBitmap = SelectObject(context->memoryDC, bitmap);
    context->memoryDCFont = GetCurrentObject(context->memoryDC, OBJ_FONT);
    g_current = std::move(context);
    return asOutput(g_current.get());
}

void endCurrentContext() {
    g_current.reset();
}

Raster* currentRaster() {
    return g_current ? &g_current->raster : nullptr;
}

} // namespace draw

using draw::g_current;

intptr_t DrawStart(intptr_t output) {
    if (!output) {
        return 0;
    }
    draw::DrawContext* c = g_current.get();
    if (reinterpret_cast<intptr_t>(c) != output) {
        return 0; // an output whose pass already ended
    }
    c->started = true;
    DrawSetFont(-1);
    return reinterpret_cast<intptr_t>(c->memoryDC);
}

void DrawStop() {
    draw::endCurrentContext();
}

void DrawSetMode(int mode) {
    if (g_current) {
        g_current->raster.setMode(mode);
    }
}

void DrawBox(int x, int y, int width, int height, uint32_t colour) {
    if (g_current) {
        g_current->raster.box(x, y, width, height, colour);
    }
}

void DrawCircle(int x, int y, int radius, uint32_t colour) {
    if (g_current) {
        g_current->raster.circle(x, y, radius, colour);
    }
}

void DrawSetFont(intptr_t font) {
    draw::DrawContext* c = g_current.get();
    if (!c || !c->started) {
        return;
    }
    const HFONT chosen = font == -1 ? static_cast<HFONT>(GetStockObject(SYSTEM_FONT))
                                    : reinterpret_cast<HFONT>(font);
    SelectObject(c->memoryDC, chosen);
    c->font = chosen;
    if (c->glyphDC) {
        SelectObject(c->glyphDC, chosen);
    }
    // Both device contexts are memory contexts on the screen: "Hg" measures
    // the same in either.
    SIZE hg{};
    GetTextExtentPoint32W(c->memoryDC, L"Hg", 2, &hg);
    const int needed = std::max(50, static_cast<int>(hg.cy) + 20);
    c->glyphHeightNeeded = std::max(c->glyphHeightNeeded, needed);
    if (c->glyphDC) {
        draw::ensureGlyphs(c); // grow the buffer now, as later text needs
    }
}

double DrawString(double x, double y, const Text& text, uint32_t front,
                  std::optional<uint32_t> back) {
    draw::DrawContext* c = g_current.get();
    if (!c) {
        return x;
    }
    draw::Raster& r = c->raster;
    r.setFront(front);
    r.setBack(back ? *back : r.defaultBack());
    if (text.empty() || !c->started || !draw::ensureGlyphs(c)) {
        return x;
    }
    if (c->overhangFont != c->font) {
        c->overhang = draw::italicOverhang(c->font);
        c->overhangFont = c->font;
    }
    const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    SIZE extent{};
    if (!GetTextExtentPoint32W(c->glyphDC, reinterpret_cast<const wchar_t*>(text.data()), length,
                               &extent)) {
        return x;
    }
    int64_t cx = extent.cx, cy = extent.cy;
    if (c->overhang > 0) {
        const RECT all{0, 0, c->glyphWidth, c->glyphHeight};
        FillRect(c->glyphDC, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        cx += c->overhang;
    }
    cy = std::min<int64_t>(cy, c->glyphHeight);
    const double after = x + static_cast<double>(cx);
    // Text that cannot reach the output is not rendered at all; this also
    // keeps every coordinate below within int range.
    if (!draw::within(x, -static_cast<double>(cx), r.width()) ||
        !draw::within(y, -static_cast<double>(cy), r.height())) {
        return after;
    }
    const int ix = x < 0 ? static_cast<int>(std::trunc(x)) : 0;
    if (!TextOutW(c->glyphDC, ix, 0, reinterpret_cast<const wchar_t*>(text.data()), length)) {
        return x;
    }
    GdiFlush(); // the glyph pixels are read straight from the DIB's memory
    const draw::GlyphBuffer glyphs{c->glyphBits, static_cast<ptrdiff_t>(c->glyphPitch),
                                   c->glyphWidth, c->glyphHeight};
    r.blendGlyphs(glyphs, static_cast<int64_t>(std::trunc(x - ix)),
                  static_cast<int64_t>(std::trunc(y)), ix + cx, cy);
    return after;
}
