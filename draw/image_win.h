// Numbered images: DIB sections that the drawing passes draw into.
#pragma once

#include <windows.h>

#include <cstdint>

#include "draw/raster.h"
#include "ui/toolkit_win.h" // UI_ANY

// Creates a bottom-up DIB section of width x height pixels under `number`
// (UI_ANY for a fresh one; an existing image of a fixed number is freed
// first). Depth 32 gives 32-bit pixels filled with `colour` (0xAABBGGRR)
// made opaque, or all zero for colour -1; any other depth gives 24-bit
// pixels filled with the colour (left black for -1). Sizes must be 1 to
// 32767. Returns the new number for UI_ANY, else the HBITMAP; 0 on
// failure. The table owns the bitmap until ImgFree.
intptr_t ImgCreate(int number, int width, int height, int depth, uint32_t colour);
// Non-zero if the number names an existing image; a stale or made-up
// number is simply not found.
int ImgExists(int number);
// The HBITMAP of an image (still owned by the table), 0 if none.
intptr_t ImgHandle(int number);
int ImgWidth(int number);
int ImgHeight(int number);
// Makes a drawing context on the image, current from now on (ending any
// pass still open), and returns its output number for DrawStart; 0 (and
// no context current) if the image does not exist or no context could be
// made.
intptr_t ImgOutput(int number);
// Frees an image; -1 frees every image.
void ImgFree(int number);

namespace draw {

// Whether `bitmap` is the bitmap of an image in the table. Those are DIB
// sections with bottom-up rows, which their memory alone does not tell
// (GetObject reports every DIB section's height as positive).
bool isTableImage(HBITMAP bitmap);
// A bitmap handle carried as 32 bits (a control's state word): the table's
// own handle of the image with those low 32 bits, else the sign-extended
// handle. Windows hands out GDI handles that sign-extend; Wine's 64-bit
// processes get them zero-extended once they pass 2^31, and without this
// the table would no longer know a control's image and every copy would
// be a whole one.
HBITMAP bitmapFromLow32(uint32_t low32);

// Adds `changed` (image pixels; clipped here) to what the image's copy
// holder has not taken yet, and records whether every pixel is still known
// to have alpha 255 (`opaque`). Nothing for a bitmap not in the table.
void addImageChanges(HBITMAP bitmap, const Changes& changed, bool opaque);
// What the holder of a copy of `bitmap` has to do to bring it up to date.
// takeImageChanges is the one place that decides.
enum class ImageChanges {
    NotInTable, // not an image of the table: nothing is known of it
    All,        // copy it all: another holder (or none) took the last copy
    SinceLast,  // copy only changed->rect, what changed since this holder's last copy
    Filled,     // whoever holds the copy: fill it with *changed->filled, then
                // copy changed->rect
};
// For the holder of a copy of `bitmap` about to copy it: what to do, and
// in *changed what changed in the image since the last copy any holder
// took (also in a pass still open on it; empty when nothing did). For a
// table image `holder` is now the one whose copy is up to date.
ImageChanges takeImageChanges(HBITMAP bitmap, const void* holder, Changes* changed);

// The current-context slot emptied, at attach; every image freed (and any
// pass still open ended) at detach.
void imageStartup();
void imageShutdown();

} // namespace draw
