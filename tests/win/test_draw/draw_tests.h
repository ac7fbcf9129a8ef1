// What the drawing tests share: a pass on an image, a white canvas, text
// drawn and measured in a font, and the cell a drawing changed.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/image_win.h"
#include "draw/pixel_kernels.h"
#include "draw/premultiply.h"
#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "base/object_table.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

namespace drawtests {

// The drawing pieces the plug-in starts at attach and stops at detach.
inline void startDrawing() {
    draw::imageStartup();
}
inline void stopDrawing() {
    draw::imageShutdown();
    draw::fontShutdown();
}

// A pass on an image; ends it on scope exit.
struct Pass {
    intptr_t dc = 0;
    explicit Pass(int image) { dc = DrawStart(ImgOutput(image)); }
    ~Pass() { DrawStop(); }
};

inline int whiteCanvas(int w, int h) {
    const int n = static_cast<int>(ImgCreate(UI_ANY, w, h, 32, 0));
    Pass pass(n);
    DrawBox(0, 0, w, h, 0x00FFFFFF);
    return n;
}

// Text drawn in a pass of its own on `image`, in `font` (DrawSetFont's
// handle) and `mode` when one is given; returns DrawString's answer.
inline double drawText(int image, intptr_t font, double x, double y, const char16_t* text,
                       uint32_t front, std::optional<uint32_t> back = std::nullopt,
                       std::optional<int> mode = std::nullopt) {
    Pass pass(image);
    if (mode) {
        DrawSetMode(*mode);
    }
    DrawSetFont(font);
    return DrawString(x, y, text, front, back);
}

inline HFONT fontOf(int number) {
    return reinterpret_cast<HFONT>(FontHandle(number));
}

// Whether a GDI handle still names an object.
inline bool alive(HGDIOBJ h) {
    return GetObjectType(h) != 0;
}

inline SIZE measure(HFONT font, const wchar_t* text) {
    MemoryDC dc;
    ScopedSelect select(dc.get(), font);
    SIZE s{};
    GetTextExtentPoint32W(dc.get(), text, static_cast<int>(wcslen(text)), &s);
    return s;
}

struct Cell {
    int x0, y0, x1, y1; // changed pixels' bounds, x1/y1 exclusive
    int count = 0;
};

inline Cell changedCell(int n, uint32_t background) {
    const ImagePixels px(n);
    Cell c{px.width(), px.height(), 0, 0};
    for (int y = 0; y < px.height(); ++y) {
        for (int x = 0; x < px.width(); ++x) {
            if (px.at(x, y) != background) {
                c.x0 = std::min(c.x0, x);
                c.y0 = std::min(c.y0, y);
                c.x1 = std::max(c.x1, x + 1);
                c.y1 = std::max(c.y1, y + 1);
                ++c.count;
            }
        }
    }
    return c;
}

} // namespace drawtests
