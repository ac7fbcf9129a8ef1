// Numbered fonts.
#pragma once

#include <windows.h>

#include <cstdint>

#include "draw/font_style.h"
#include "base/text.h"
#include "ui/toolkit_win.h" // UI_ANY, ui::screenDpi

// Creates a font of `size` points (converted with the screen DPI) in the
// face `face` with FONT_* style bits, under `number` (UI_ANY for a fresh
// one; an existing font of a fixed number is freed first). Returns the new
// number for UI_ANY, else the HFONT; 0 on failure. The table owns the font
// until FontFree.
intptr_t FontLoad(int number, const Text& face, int size, int style);
// The HFONT of a number (still owned by the table), 0 if none.
intptr_t FontHandle(int number);
// Deletes the font of a number; -1 deletes every font.
void FontFree(int number);

namespace draw {

// Every font freed at detach (the table itself needs no start-up).
void fontShutdown();
// How far the glyphs of an italic font reach past the measured width of
// its text, in pixels; 0 for upright fonts.
int italicOverhang(HFONT font);

} // namespace draw
