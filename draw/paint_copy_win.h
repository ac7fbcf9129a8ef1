// The copy a picture control paints from: the pixels of the bitmap last
// assigned to it, premultiplied by their alpha as AlphaBlend takes them,
// taken once per assignment so that a paint never reads the live image.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "draw/raster.h"

namespace draw {

// Whether `bitmap` carries alpha to blend with: a 32-bit DIB section, or a
// 32-bit device-dependent bitmap with some non-zero alpha. False for
// anything else, and when its pixels cannot be read.
bool hasAlpha(HBITMAP bitmap);

class PaintCopy {
  public:
    PaintCopy() = default;
    PaintCopy(const PaintCopy&) = delete;
    PaintCopy& operator=(const PaintCopy&) = delete;

    // Makes the copy hold the pixels of `source`, each colour byte of a
    // pixel whose alpha is not 255 multiplied by that alpha; opaque pixels
    // are copied unchanged, so a canvas image is copied exactly. Leaves no
    // copy when one cannot be made.
    //
    // When the copy already holds the same image of the table, only what
    // its drawing passes changed since is copied again, and that rectangle
    // (in image pixels, top row 0; empty when nothing changed) comes back.
    // After a pass that filled the whole of a table image with one opaque
    // colour, whichever copy it held, the copy fills itself with that
    // colour and copies only what was drawn after the fill: no rectangle.
    // Anything else (a new image, a new size, a bitmap not drawn through
    // passes) is copied whole: no rectangle.
    std::optional<PixelRect> take(HBITMAP source);
    // Drops the copy (its section and device context).
    void clear();

    explicit operator bool() const { return section_.has_value(); }
    // The memory device context holding the copy (owned here), for a blit;
    // null without a copy.
    HDC dc() const { return section_ ? section_->dc.get() : nullptr; }
    SIZE size() const { return section_ ? section_->size : SIZE{}; }
    // Every pixel has alpha 255 (always so for a canvas): the copy is
    // painted with BitBlt, which gives the very pixels AlphaBlend would, and
    // it hides whatever lies under the control as a plain bitmap does.
    bool opaque() const { return opaque_; }

  private:
    // A 32-bit bottom-up DIB section, kept selected in a memory device
    // context of its own so that a paint is a single blit. Released in the
    // reverse order of declaration: the selection put back, the context
    // deleted, then the section (a bitmap still selected somewhere cannot
    // be deleted).
    struct Section {
        Section(int width, int height)
            : pixels(nullptr, width, height, 32, RowOrder::BottomUp),
              selected(dc.get(), pixels.get()), size{width, height} {}
        DibSection pixels;
        MemoryDC dc;
        ScopedSelect selected;
        SIZE size;
    };

    // A section of that size, the one held if it fits; false (and no copy)
    // when none can be made.
    bool fit(int width, int height);

    // Copies the rows of `area` from a table image's pixels, bottom-up rows
    // of the copy's width; true when every pixel copied is opaque.
    bool copyArea(const uint8_t* from, const PixelRect& area);

    std::optional<Section> section_;
    bool opaque_ = false;
    HBITMAP source_ = nullptr; // not owned: the table image the copy was taken of, if one
};

} // namespace draw
