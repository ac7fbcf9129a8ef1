#include "draw/font_win.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "draw/raster.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "base/no_destroy.h"
#include "base/text_win.h"
#include "base/object_table.h"

namespace {

constexpr int FONT_POINTS_PER_INCH = 72;
// Fixed numbers grow the table by this many slots at a time.
constexpr int FONT_TABLE_GROWTH = 16;
// The bands of rows lastLitColumn reads at once stay about this small,
// however large the glyph.
constexpr size_t FONT_OVERHANG_BAND_BYTES = size_t(1) << 20;

struct FontRecord {
    GdiObject<HFONT> handle;
};

void releaseFont(int number);

NoDestroy<ObjectTable<FontRecord>> g_fonts{
    [] { return ObjectTable<FontRecord>(FONT_TABLE_GROWTH, &releaseFont); }};

void releaseFont(int number) {
    g_fonts->remove(number); // the record's font goes with it
}

// The rightmost column in which the top `rows` rows of a monochrome bitmap
// of `width` x `height` hold a lit pixel; -1 when none does (or the bitmap
// cannot be read).
int lastLitColumn(HDC dc, HBITMAP bitmap, int width, int rows, int height);

} // namespace

intptr_t FontLoad(int number, const Text& face, int size, int style) {
    int assigned = 0;
    FontRecord* record = g_fonts->allocate(number, &assigned);
    if (!record) {
        return 0;
    }
    const HFONT font =
        CreateFontW(-MulDiv(size, ui::screenDpi(), FONT_POINTS_PER_INCH), 0, 0, 0,
                    (style & FONT_BOLD) ? FW_BOLD : FW_NORMAL, (style & FONT_ITALIC) ? TRUE : FALSE,
                    (style & FONT_UNDERLINE) ? TRUE : FALSE,
                    (style & FONT_STRIKEOUT) ? TRUE : FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, 0,
                    (style & FONT_PROOF_QUALITY) ? PROOF_QUALITY : 0, 0, wstr(face));
    if (!font) {
        g_fonts->remove(assigned);
        return 0;
    }
    record->handle.reset(font);
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(font);
}

intptr_t FontHandle(int number) {
    const FontRecord* r = g_fonts->find(number);
    return r ? reinterpret_cast<intptr_t>(r->handle.get()) : 0;
}

void FontFree(int number) {
    if (number == -1) {
        g_fonts->releaseAll();
    } else if (g_fonts->find(number)) {
        releaseFont(number);
    }
}

namespace draw {

void fontShutdown() {
    FontFree(-1);
    g_fonts.destroy();
}

int italicOverhang(HFONT font) {
    MemoryDC dc;
    if (!dc) {
        return 0;
    }
    ScopedSelect withFont(dc.get(), font);
    TEXTMETRICW tm{};
    if (!GetTextMetricsW(dc.get(), &tm) || !tm.tmItalic) {
        return 0;
    }
    // Draw "H" white on black with room to its right and find the last
    // column that any of its pixels reaches.
    SIZE h{};
    if (!GetTextExtentPoint32W(dc.get(), L"H", 1, &h) || h.cx <= 0 || h.cy <= 0) {
        return 0;
    }
    const int width = 2 * h.cx;
    GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(dc.get(), width, 2 * h.cy));
    if (!canvas) {
        return 0;
    }
    {
        ScopedSelect withCanvas(dc.get(), canvas.get());
        const RECT all{0, 0, width, 2 * h.cy};
        FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetBkMode(dc.get(), OPAQUE);
        SetBkColor(dc.get(), RGB(0, 0, 0));
        SetTextColor(dc.get(), RGB(255, 255, 255));
        TextOutW(dc.get(), 0, 0, L"H", 1);
    }
    const int last = lastLitColumn(dc.get(), canvas.get(), width, h.cy, 2 * h.cy);
    return last < 0 ? 0 : last - h.cx + 2;
}

} // namespace draw

namespace {

int lastLitColumn(HDC dc, HBITMAP bitmap, int width, int rows, int height) {
    // The rows are read in a few bands and scanned in memory: a GDI call per
    // pixel would cost a large italic font (thousands of pixels high) many
    // millions of calls on the host's thread.
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info{};
    // Bottom-up: the top rows are the last scan lines.
    info.header = dibHeader(width, height, 1, RowOrder::BottomUp);
    const size_t pitch = static_cast<size_t>(draw::rowPitch(width, 1));
    const int band = static_cast<int>(
        std::max<size_t>(1, std::min<size_t>(rows, FONT_OVERHANG_BAND_BYTES / pitch)));
    std::vector<uint8_t> bits;
    try {
        bits.resize(pitch * static_cast<size_t>(band));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    int last = -1;
    // Top row `top` of the picture is scan line height - 1 - top.
    for (int top = 0; top < rows && last < width - 1; top += band) {
        const int count = std::min(band, rows - top);
        const int firstScan = height - top - count;
        if (GetDIBits(dc, bitmap, static_cast<UINT>(firstScan), static_cast<UINT>(count),
                      bits.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != count) {
            return -1;
        }
        // Which bit value stands for a lit (non-black) pixel.
        auto isLit = [](const RGBQUAD& c) { return c.rgbRed || c.rgbGreen || c.rgbBlue; };
        const bool oneIsLit = isLit(info.colours[1]);
        if (oneIsLit == isLit(info.colours[0])) {
            return oneIsLit ? width - 1 : -1;
        }
        for (int row = 0; row < count && last < width - 1; ++row) {
            const uint8_t* line = bits.data() + pitch * static_cast<size_t>(row);
            for (int x = width - 1; x > last; --x) {
                // The leftmost pixel of a byte is its highest bit.
                const bool bit = (line[x >> 3] >> (7 - (x & 7))) & 1;
                if (bit == oneIsLit) {
                    last = x;
                    break;
                }
            }
        }
    }
    return last;
}

} // namespace
