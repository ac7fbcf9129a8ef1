#include "draw/drawpass_win.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <utility>

#include "draw/font_win.h"
#include "draw/image_win.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "base/no_destroy.h"
#include "base/unique_handle.h"

namespace draw {

namespace {

//--- Context

// Every GDI call on a pass's device context reaches the image's memory
// before the rasteriser writes into that memory.
constexpr DWORD DRAW_BATCH_LIMIT = 1;

// The glyph buffer is never shorter than the system font needs, and keeps
// rows to spare below the measured height for glyphs reaching out of their
// cell.
constexpr int GLYPH_MIN_ROWS = 50;
constexpr int GLYPH_SPARE_ROWS = 20;
// Text is rendered in 24 bits: a coverage byte for each colour channel.
constexpr int GLYPH_BITS_PER_PIXEL = 24;

// Output numbers run from 1 through the positive 32-bit values and wrap:
// never 0, never an address, and a stale one matches again only after two
// billion passes.
int32_t g_lastOutput = 0;

int32_t nextOutput() {
    g_lastOutput = g_lastOutput == INT32_MAX ? 1 : g_lastOutput + 1;
    return g_lastOutput;
}

// The thread's GDI batch limit as it was, put back when its owner goes
// (GdiGetBatchLimit gives 0 only when it failed: nothing to put back then).
using SavedBatchLimit = UniqueAny<DWORD, &GdiSetBatchLimit>;

// Sets the GDI batch limit of the thread; the owner returned puts the
// previous one back.
SavedBatchLimit setBatchLimit(DWORD limit) {
    SavedBatchLimit saved(GdiGetBatchLimit());
    GdiSetBatchLimit(limit);
    return saved;
}

// The device context text is rendered into, white on black, and its
// buffer: a 24-bit top-down DIB section as wide as the widest text of the
// pass needs (never wider than the output) and as tall as its tallest
// font, grown as the pass needs and never shrunk. A new section's memory
// costs a page fault wherever it is first written; in a buffer as wide as
// a large canvas every row lies on pages of its own, and an italic text
// clears the whole buffer, so text would cost what the canvas is wide
// rather than what its cell is. Released in the reverse order of
// declaration: the selections put back, the context deleted, then the
// buffer it held.
struct GlyphTarget {
    DibSection buffer; // empty until one could be made
    MemoryDC dc;
    ScopedSelect keepBitmap = ScopedSelect::keepCurrent(dc.get(), OBJ_BITMAP);
    ScopedSelect keepFont = ScopedSelect::keepCurrent(dc.get(), OBJ_FONT);
    int64_t pitch = 0;
    int width = 0, height = 0;
};

// Everything one drawing pass holds, released in the reverse order of
// declaration: the glyph target, the output context's font and bitmap put
// back, that context deleted, the batch limit restored last.
struct DrawContext {
    DrawContext(const Surface& surface, HBITMAP bitmap, bool opaqueImage)
        : raster(surface), image(bitmap), opaque(opaqueImage && surface.bytesPerPixel == 4),
          memoryBitmap(memoryDC.get(), bitmap),
          memoryFont(ScopedSelect::keepCurrent(memoryDC.get(), OBJ_FONT)) {
        // GDI keeps the bounds of what it draws into the pass's device
        // context, so that a refresh copies that too.
        SetBoundsRect(memoryDC.get(), nullptr, DCB_ENABLE | DCB_RESET);
    }
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    Raster raster;
    HBITMAP image; // not owned: the bitmap the pass draws into
    // Every pixel had alpha 255 at the start, and nothing since wrote
    // alpha but whole-image fills with 255 unless GDI drew into the pass's
    // device context: GDI writes the fourth byte of the pixels it draws,
    // the rasteriser never does.
    bool opaque;
    const intptr_t output = nextOutput();
    SavedBatchLimit batchLimit = setBatchLimit(DRAW_BATCH_LIMIT);
    MemoryDC memoryDC;         // handed out by DrawStart, drawn into with GDI
    ScopedSelect memoryBitmap; // the image's bitmap, for the whole pass
    ScopedSelect memoryFont;   // DrawSetFont selects fonts in turn

    // Text needs a glyph target and the italic overhang of its font. Most
    // passes draw no text (a circle, a box), so the target is made by the
    // first DrawString that renders something; until then the pass only
    // tracks the font and the height the buffer needs.
    bool started = false; // DrawStart succeeded
    std::optional<GlyphTarget> glyphs;
    int glyphHeightNeeded = 0; // the tallest need of the fonts set in this pass

    HFONT font = nullptr;         // not owned
    HFONT overhangFont = nullptr; // the font `overhang` was measured for
    int overhang = 0;
};

// The pass now open, if any. Only endCurrentContext ends it: never the C
// runtime at process exit.
NoDestroy<std::unique_ptr<DrawContext>> g_current;

DrawContext* currentPass() {
    return g_current->get();
}

// Makes the glyph target's context, with the font the output's context
// holds (the last one that could be selected); its buffer comes with the
// first text. False without a context.
bool ensureGlyphContext(DrawContext& c) {
    if (c.glyphs) {
        return true;
    }
    c.glyphs.emplace();
    const HDC dc = c.glyphs->dc.get();
    if (!dc) {
        c.glyphs.reset();
        return false;
    }
    SelectObject(dc, GetCurrentObject(c.memoryDC.get(), OBJ_FONT));
    SetBkMode(dc, OPAQUE);
    SetTextAlign(dc, 0);
    SetBkColor(dc, RGB(0, 0, 0));
    SetTextColor(dc, RGB(255, 255, 255));
    return true;
}

// Makes the glyph buffer at least `width` columns wide (at least one, at
// most the output's width) and as tall as the fonts of the pass need. A
// buffer that cannot be enlarged stays as it is, and text is cut to it.
// Needs the context (ensureGlyphContext); false without a buffer.
bool ensureGlyphBuffer(DrawContext& c, int64_t width) {
    GlyphTarget& g = *c.glyphs;
    const int wide = static_cast<int>(std::clamp<int64_t>(width, 1, c.raster.width()));
    if (g.buffer && g.width >= wide && g.height >= c.glyphHeightNeeded) {
        return true;
    }
    const int newWidth = std::max(g.width, wide);
    const int newHeight = std::max(g.height, c.glyphHeightNeeded);
    DibSection larger(g.dc.get(), newWidth, newHeight, GLYPH_BITS_PER_PIXEL, RowOrder::TopDown);
    if (!larger) {
        return static_cast<bool>(g.buffer);
    }
    SelectObject(g.dc.get(), larger.get());
    g.buffer = std::move(larger); // the smaller buffer, no longer selected, goes
    g.pitch = rowPitch(newWidth, GLYPH_BITS_PER_PIXEL);
    g.width = newWidth;
    g.height = newHeight;
    return true;
}

// What GDI drew into the pass's device context since its bounds were last
// reset; the whole image when GDI cannot tell.
PixelRect drawnByGdi(const DrawContext& c) {
    RECT bounds{};
    const UINT state = GetBoundsRect(c.memoryDC.get(), &bounds, 0);
    if (state == 0) {
        return PixelRect{0, 0, c.raster.width(), c.raster.height()};
    }
    if (!(state & DCB_SET)) {
        return PixelRect{};
    }
    return PixelRect{bounds.left, bounds.top, bounds.right, bounds.bottom};
}

// Whether a box covers the whole output, whichever way its sizes run.
bool coversAll(const Raster& r, int64_t x, int64_t y, int64_t w, int64_t h) {
    const int64_t left = std::min(x, x + w), right = std::max(x, x + w);
    const int64_t top = std::min(y, y + h), bottom = std::max(y, y + h);
    return left <= 0 && top <= 0 && right >= r.width() && bottom >= r.height();
}

// Whether a double lies strictly between two bounds that fit an int.
bool within(double v, double low, double high) {
    return v > low && v < high;
}

} // namespace

intptr_t makeBitmapOutput(const Surface& surface, HBITMAP bitmap, bool opaque) {
    endCurrentContext();
    if (!surface.firstRow) {
        return 0;
    }
    auto context = std::make_unique<DrawContext>(surface, bitmap, opaque);
    if (!context->memoryDC) {
        return 0;
    }
    *g_current = std::move(context);
    return currentPass()->output;
}

Changes openPassChanges(HBITMAP bitmap, bool* opaque) {
    const DrawContext* c = currentPass();
    if (!c || !bitmap || c->image != bitmap) {
        return Changes{};
    }
    const PixelRect gdi = drawnByGdi(*c);
    if (opaque) {
        *opaque = c->opaque && gdi.empty();
    }
    Changes changes = c->raster.changes();
    changes.rect = changes.rect.unitedWith(gdi);
    return changes;
}

void endCurrentContext() {
    if (const DrawContext* c = currentPass()) {
        bool opaque = false;
        const Changes changes = openPassChanges(c->image, &opaque);
        addImageChanges(c->image, changes, opaque);
    }
    g_current->reset();
}

Raster* currentRaster() {
    DrawContext* c = currentPass();
    return c ? &c->raster : nullptr;
}

} // namespace draw

using draw::currentPass;

intptr_t DrawStart(intptr_t output) {
    draw::DrawContext* c = currentPass();
    if (!c || c->output != output) {
        return 0; // 0, made up, or stale: its pass ended or a later output replaced it
    }
    c->started = true;
    DrawSetFont(-1);
    return reinterpret_cast<intptr_t>(c->memoryDC.get());
}

void DrawStop() {
    draw::endCurrentContext();
}

void DrawSetMode(int mode) {
    if (draw::DrawContext* c = currentPass()) {
        c->raster.setMode(mode);
    }
}

// A filled box over the whole of an image that is opaque everywhere (a
// canvas: created opaque, and the rasteriser never writes alpha) writes
// whole pixels without reading them, and the image records the fill, so
// that a copy of it can fill itself too. Any other box keeps each pixel's
// alpha byte, which only an image that may hold other alpha needs but
// which costs a read of every pixel.
void DrawBox(int x, int y, int width, int height, uint32_t colour) {
    draw::DrawContext* c = currentPass();
    if (!c) {
        return;
    }
    draw::Raster& r = c->raster;
    if (c->opaque && !(r.mode() & (DRAW_MODE_OUTLINED | DRAW_MODE_XOR)) &&
        draw::coversAll(r, x, y, width, height)) {
        if (draw::drawnByGdi(*c).empty()) {
            r.fillOpaque(colour);
            return;
        }
        c->opaque = false; // what GDI drew may hold any alpha
    }
    r.box(x, y, width, height, colour);
}

void DrawCircle(int x, int y, int radius, uint32_t colour) {
    if (draw::DrawContext* c = currentPass()) {
        c->raster.circle(x, y, radius, colour);
    }
}

void DrawSetFont(intptr_t font) {
    draw::DrawContext* c = currentPass();
    if (!c || !c->started) {
        return;
    }
    const HFONT chosen = font == -1 ? static_cast<HFONT>(GetStockObject(SYSTEM_FONT))
                                    : reinterpret_cast<HFONT>(font);
    SelectObject(c->memoryDC.get(), chosen);
    c->font = chosen;
    if (c->glyphs) {
        SelectObject(c->glyphs->dc.get(), chosen);
    }
    // Both device contexts are memory contexts on the screen: "Hg" measures
    // the same in either.
    SIZE hg{};
    GetTextExtentPoint32W(c->memoryDC.get(), L"Hg", 2, &hg);
    const int needed =
        std::max(draw::GLYPH_MIN_ROWS, static_cast<int>(hg.cy) + draw::GLYPH_SPARE_ROWS);
    c->glyphHeightNeeded = std::max(c->glyphHeightNeeded, needed); // the next text grows the buffer
}

double DrawString(double x, double y, const Text& text, uint32_t front,
                  std::optional<uint32_t> back) {
    draw::DrawContext* c = currentPass();
    if (!c) {
        return x;
    }
    draw::Raster& r = c->raster;
    r.setFront(front);
    r.setBack(back ? *back : r.defaultBack());
    if (text.empty() || !c->started || !draw::ensureGlyphContext(*c)) {
        return x;
    }
    const draw::GlyphTarget& g = *c->glyphs;
    if (c->overhangFont != c->font) {
        c->overhang = draw::italicOverhang(c->font);
        c->overhangFont = c->font;
    }
    const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    SIZE extent{};
    if (!GetTextExtentPoint32W(g.dc.get(), reinterpret_cast<const wchar_t*>(text.data()), length,
                               &extent)) {
        return x;
    }
    const int64_t cx = extent.cx + std::max(c->overhang, 0);
    const double after = x + static_cast<double>(cx);
    // Text that cannot reach the output is not rendered at all; this also
    // keeps every coordinate below within int range.
    if (!draw::within(x, -static_cast<double>(cx), r.width()) ||
        !draw::within(y, -static_cast<double>(extent.cy), r.height())) {
        return after;
    }
    // Text left of the output is rendered from its first column that shows:
    // the buffer holds the text from ix on, as far as the output reaches.
    const int ix = x < 0 ? static_cast<int>(std::trunc(x)) : 0;
    if (!draw::ensureGlyphBuffer(*c, ix + cx)) {
        return x;
    }
    const int64_t cy = std::min<int64_t>(extent.cy, g.height);
    if (c->overhang > 0) {
        // Italic glyphs reach past the cell that TextOut's background
        // covers: what earlier text left there must not show.
        const RECT all{0, 0, g.width, g.height};
        FillRect(g.dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (!TextOutW(g.dc.get(), ix, 0, reinterpret_cast<const wchar_t*>(text.data()), length)) {
        return x;
    }
    GdiFlush(); // the glyph pixels are read straight from the DIB's memory
    const draw::GlyphBuffer glyphs{g.buffer.bits(), static_cast<ptrdiff_t>(g.pitch), g.width,
                                   g.height};
    r.blendGlyphs(glyphs, static_cast<int64_t>(std::trunc(x - ix)),
                  static_cast<int64_t>(std::trunc(y)), ix + cx, cy);
    return after;
}
