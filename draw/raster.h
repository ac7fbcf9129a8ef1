// The software rasteriser behind every drawing pass: modes, colours, pixel
// writes, spans, boxes (raster.cpp), the midpoint ellipse (ellipse_walk.cpp)
// and the blending of rendered text (glyph_blend.cpp). Platform-free: it
// draws into plain memory that a caller describes.
//
// Coordinates are 64-bit inside, so no sum of 32-bit positions and sizes
// can overflow; everything clips against the output before touching
// memory. No write but fillOpaque ever changes the fourth byte of a 32-bit
// pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Mode bits of a drawing pass (DrawSetMode).
constexpr int DRAW_MODE_DEFAULT = 0;     // shapes filled, text on its back colour
constexpr int DRAW_MODE_TRANSPARENT = 1; // text without background
constexpr int DRAW_MODE_XOR = 2;         // every write exclusive-ors the colour
constexpr int DRAW_MODE_OUTLINED = 4;    // boxes and ellipses as outlines

namespace draw {

// Bytes per row of an image of that width and depth, the one rule used for
// images and glyph buffers alike (rows padded to 4 bytes).
int64_t rowPitch(int64_t width, int bitsPerPixel);

// Pixel memory of an output (borrowed, never freed here).
struct Surface {
    uint8_t* firstRow = nullptr; // the first row in memory
    ptrdiff_t pitch = 0;         // bytes from one memory row to the next
    int bytesPerPixel = 4;       // 4 (blue, green, red, alpha) or 3
    bool bottomUp = false;       // picture row y is memory row height - 1 - y
    int width = 0;
    int height = 0;
};

// A 24-bit top-down buffer holding text rendered white on black; each byte
// is the coverage of its colour channel (borrowed).
struct GlyphBuffer {
    const uint8_t* bits = nullptr;
    ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
};

// A rectangle of output pixels, left and top included, right and bottom
// not; empty when it holds no pixel.
struct PixelRect {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    // The smallest rectangle holding both.
    PixelRect unitedWith(const PixelRect& other) const;
};

// What changed in an output: when `filled` is set, every pixel became that
// 32-bit value (bytes blue, green, red, alpha in memory) and then `rect`
// changed; otherwise only `rect` did.
struct Changes {
    std::optional<uint32_t> filled;
    PixelRect rect;
    // These changes followed by `later`: a fill hides everything before it.
    Changes then(const Changes& later) const;
};

// A colour 0xAABBGGRR split into its parts.
struct ColourParts {
    int red = 0, green = 0, blue = 0, alpha = 0, inverseAlpha = 255;
};
ColourParts splitColour(uint32_t colour);

class Raster {
  public:
    explicit Raster(const Surface& surface);

    int width() const { return width_; }
    int height() const { return height_; }

    // Mode bits DRAW_MODE_*; also recomputes the colour parts.
    void setMode(int mode);
    int mode() const { return mode_; }
    void setFront(uint32_t colour);
    void setBack(uint32_t colour);
    uint32_t front() const { return front_; }
    uint32_t back() const { return back_; }
    uint32_t defaultBack() const { return defaultBack_; }

    //--- Shapes: each makes its colour the front colour and draws by the mode
    void box(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
    void circle(int32_t x, int32_t y, int32_t radius, uint32_t colour);
    // The filled box over a whole 32-bit output that is opaque everywhere,
    // written as whole pixels of `colour` made opaque without reading them:
    // box() keeps every alpha byte, here 255 already. The colour becomes
    // the front colour, and changes() says "filled" from now on.
    void fillOpaque(uint32_t colour);

    //--- Pixel primitives in the current front colour, clipped to the output
    void plot(int64_t x, int64_t y);
    void horizontalSpan(int64_t x, int64_t y, int64_t n);
    void verticalSpan(int64_t x, int64_t y, int64_t n);
    // The two-region midpoint ellipse, outlined or filled by the mode.
    // Nothing for a negative radius. The work depends on the output's
    // size, not on the radii.
    void ellipse(int64_t cx, int64_t cy, int64_t rx, int64_t ry);
    // Blends glyphs (0, 0 .. width-1, height-1) of the buffer onto the
    // output at (left, top) with the front and back colours and the mode.
    void blendGlyphs(const GlyphBuffer& glyphs, int64_t left, int64_t top, int64_t width,
                     int64_t height);

    // The ellipse by walking its whole path, and by walking only the rows
    // and columns that can show; ellipse() picks the cheaper. Both write
    // exactly the same pixels (tests hold them to that).
    void ellipseWalkingAll(int64_t cx, int64_t cy, int64_t rx, int64_t ry);
    void ellipseWalkingVisible(int64_t cx, int64_t cy, int64_t rx, int64_t ry);

    // The smallest rectangle holding every pixel written since the raster
    // was made: what a refresh of the output has to copy. Empty when
    // nothing was written (a shape wholly outside, empty text).
    const PixelRect& changed() const { return changed_; }
    // The same with the last fillOpaque before it, if any.
    Changes changes() const { return Changes{filled_, changed_}; }

  private:
    // Widens changed() by a rectangle already clipped to the output.
    void markChanged(int64_t x, int64_t y, int64_t w, int64_t h);
    uint8_t* pixelAddress(int64_t x, int64_t y) const;
    void writeRun(uint8_t* p, int64_t n);
    void fillRows(int64_t x, int64_t y, int64_t w, int64_t h);
    void updateParts();

    Surface surface_;
    int width_ = 0, height_ = 0;
    int mode_ = DRAW_MODE_DEFAULT;
    uint32_t defaultBack_ = 0xFF000000u;
    uint32_t front_ = 0, back_ = 0;
    ColourParts frontParts_, backParts_;
    // Blue, green, red of the front colour as they lie in memory.
    uint32_t frontBgr_ = 0;
    PixelRect changed_;
    std::optional<uint32_t> filled_;
};

} // namespace draw
