#include "draw/font_win.h"

#include "plugin/win_util.h"
#include "ui/object_table.h"

namespace {

struct FontRecord {
    HFONT handle = nullptr; // owned
};

void releaseFont(int number);

ObjectTable<FontRecord> g_fonts{16, &releaseFont};
int g_dpi = 96;

void releaseFont(int number) {
    if (FontRecord* r = g_fonts.find(number)) {
        DeleteObject(r->handle);
    }
    g_fonts.remove(number);
}

} // namespace

intptr_t FontLoad(int number, const Text& face, int size, int style) {
    int assigned = 0;
    FontRecord* record = g_fonts.allocate(number, &assigned);
    if (!record) {
        return 0;
    }
    const HFONT font = CreateFontW(
        -MulDiv(size, draw::screenDpi(), 72), 0, 0, 0, (style & FONT_BOLD) ? FW_BOLD : FW_NORMAL,
        (style & FONT_ITALIC) ? TRUE : FALSE, (style & FONT_UNDERLINE) ? TRUE : FALSE,
        (style & FONT_STRIKEOUT) ? TRUE : FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, 0,
        (style & FONT_PROOF_QUALITY) ? PROOF_QUALITY : 0, 0, wstr(face));
    if (!font) {
        g_fonts.remove(assigned);
        return 0;
    }
    record->handle = font;
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(font);
}

intptr_t FontHandle(int number) {
    const FontRecord* r = g_fonts.find(number);
    return r ? reinterpret_cast<intptr_t>(r->handle) : 0;
}

void FontFree(int number) {
    if (number == -1) {
        g_fonts.releaseAll();
    } else if (g_fonts.find(number)) {
        releaseFont(number);
    }
}

namespace draw {

void fontStartup() {
    g_dpi = 96;
    if (const HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {
        g_dpi = GetDeviceCaps(display, LOGPIXELSY);
        DeleteDC(display);
    }
}

void fontShutdown() {
    FontFree(-1);
}

int screenDpi() {
    return g_dpi;
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
    GdiObject<HBITMAP> canvas(CreateCompatibleBitmap(dc.get(), 2 * h.cx, 2 * h.cy));
    if (!canvas) {
        return 0;
    }
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

} // namespace draw
