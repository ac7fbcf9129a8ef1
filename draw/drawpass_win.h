// Drawing passes: the current drawing context, its primitives and text.
//
// ImgOutput makes a context for an image, makes it current and returns its
// output number; DrawStart opens the pass on that number with the system
// font (the glyph device context and buffer that text is rendered into
// are made by the first text drawn); the primitives act on the current
// context; DrawStop frees it all. There is one current context per
// process, so passes never overlap. Without a current context every
// primitive does nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "draw/raster.h"
#include "base/text.h"

// Opens the pass on an output number from ImgOutput. Returns the pass's
// memory device context (owned by the pass, valid until it ends), or 0
// when the number is not the current context's: 0, made up, or stale from
// a pass that ended or was replaced by a later ImgOutput (that later
// context stays current, unopened).
intptr_t DrawStart(intptr_t output);
// Ends the current pass: glyph buffer and device contexts freed, the GDI
// batch limit restored. Nothing without a current context.
void DrawStop();
// Mode bits DRAW_MODE_*.
void DrawSetMode(int mode);
// Box at (x, y) of width x height (negative sizes extend left and up),
// filled or outlined by the mode; colour 0xAABBGGRR.
void DrawBox(int x, int y, int width, int height, uint32_t colour);
// Circle of centre (x, y): outline or disc by the mode; nothing for a
// negative radius.
void DrawCircle(int x, int y, int radius, uint32_t colour);
// Draws text with its top-left corner at (x, y) in the current font, on
// the back colour unless the mode is transparent (the context's default
// back colour, opaque black, when none is given). Returns x after the
// text, or x itself when nothing could be rendered.
double DrawString(double x, double y, const Text& text, uint32_t front,
                  std::optional<uint32_t> back = std::nullopt);
// Selects a font (an HFONT, not owned) for the text of this pass, or -1
// for the system font; the glyph buffer grows to fit it.
void DrawSetFont(intptr_t font);

namespace draw {

// Makes a context drawing into `surface`, the pixels of `bitmap` (not
// owned; selected into a new memory device context for the pass), and
// makes it current, ending any context still current. `opaque`: every
// pixel of the 32-bit surface has alpha 255 now. Returns its output
// number: fresh for every context, never 0 and never an address, so that a
// stale number finds nothing. 0 (and no context current) on failure.
intptr_t makeBitmapOutput(const Surface& surface, HBITMAP bitmap, bool opaque = false);
// Ends and frees the current context, if any (DrawStop). What the pass
// changed is added to its image's changes (draw::takeImageChanges).
void endCurrentContext();
// What the open pass on `bitmap` has changed so far: everything the
// rasteriser wrote and whatever GDI drew into the pass's device context,
// after the box that filled the whole image, if one did. Empty when no
// pass is open on it. *opaque, when asked for, tells whether every pixel
// is still known to have alpha 255.
Changes openPassChanges(HBITMAP bitmap, bool* opaque = nullptr);

// The current context's rasteriser, or null (for tests and callers that
// need the colours or mode of the pass).
Raster* currentRaster();

} // namespace draw
