// Looking at canvases from the host's side: the windows the plug-in laid
// over an object, the pixels its picture control paints, and the memory the
// process holds. For the tests of the loaded DLL.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "draw/font_win.h"
#include "draw/image_win.h"

// What a canvas shows: colours as the plug-in takes them (0x00BBGGRR, red in
// the low byte), rows top first.
struct CanvasPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    bool empty() const { return pixels.empty(); }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    size_t count(uint32_t colour) const;
    bool operator==(const CanvasPixels& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

// The colours the tests draw with and look for, as colour references.
constexpr uint32_t WHITE = 0xFFFFFF, RED = 0x0000FF, BLUE = 0xFF0000, BLACK = 0;

// The same kind of value as a 32-bit DIB's memory holds it (bytes blue,
// green, red, alpha: 0xAARRGGBB), opaque; PIXEL_RGB masks the alpha off.
constexpr uint32_t PIXEL_RED = 0xFFFF0000, PIXEL_BLUE = 0xFF0000FF, PIXEL_GREEN = 0xFF00FF00;
constexpr uint32_t PIXEL_RGB = 0x00FFFFFF;

// A pixel as memory holds it as a colour reference.
uint32_t colourOfPixel(uint32_t memory);

// What `paint` draws into a fresh 32-bit section of width x height first
// filled with `background` (memory form): its pixels in memory form, rows
// top first. Empty when no section can be made.
std::vector<uint32_t> paintedPixels(int width, int height, uint32_t background,
                                    const std::function<void(HDC)>& paint);

// The pixel memory of the plug-in's image `number` (the DIB section of
// ImgHandle), read in picture coordinates whatever its row order.
struct ImagePixels {
    DIBSECTION ds{};
    explicit ImagePixels(int number);
    int width() const { return ds.dsBm.bmWidth; }
    int height() const { return ds.dsBm.bmHeight; }
    // A 32-bit image's pixel in memory form.
    uint32_t at(int x, int y) const;
    // All of them so, rows top first.
    std::vector<uint32_t> all() const;
};
// A number of the plug-in's images or fonts (ImgCreate's, or a font's
// fixed number), freed when the scope ends.
template <void (*Free)(int)> struct ScopedNumber {
    explicit ScopedNumber(intptr_t n) : number(static_cast<int>(n)) {}
    ~ScopedNumber() { Free(number); }
    ScopedNumber(const ScopedNumber&) = delete;
    ScopedNumber& operator=(const ScopedNumber&) = delete;
    operator int() const { return number; }
    const int number;
};
using ScopedImage = ScopedNumber<&ImgFree>;
using ScopedFont = ScopedNumber<&FontFree>;

// The windows the plug-in placed inside a host object's window (its
// canvas windows), in z-order.
std::vector<HWND> canvasWindowsIn(HWND object);
// The topmost of them, or null.
HWND canvasWindowIn(HWND object);

// Asks a picture control to paint itself with WM_PRINTCLIENT into a DIB
// section of ours. Empty for a null control.
CanvasPixels readPicture(HWND picture);
// The same control's pixels as its window's own surface holds them (a blit
// from its window DC): what the screen shows where nothing covers it.
CanvasPixels readPictureSurface(HWND picture);
// The same for the picture control of the object's (first) canvas; empty
// when the object holds no canvas.
CanvasPixels readCanvas(HWND object);
CanvasPixels readCanvasSurface(HWND object);
// Its pixels read off the screen where its window lies: what the user sees,
// whatever layout the window's own device context has.
CanvasPixels readCanvasScreen(HWND object);

// Bytes the process has committed, as Wine reports them (PagefileUsage;
// its PrivateUsage reads 0).
size_t committedBytes();

// How many more GDI objects the process could create right now (brushes made
// until GDI refuses, then freed). Wine counts no GDI objects, but its table of
// about 65,000 handles a process is exact: two readings differ by the objects
// made (or leaked) in between.
int gdiHeadroom();
// The windows this thread owns, top-level ones and all their descendants.
// (Not counted like GDI objects: Wine's USER table is shared by the prefix's
// processes, and filling it would break the test programs beside this one.)
int threadWindowCount();

// What the process holds at one moment. Filling the GDI table commits some
// megabytes of heap for good, so memory is read after it at every reading:
// memory lost since an earlier one then shows, as the table's objects no
// longer fit into what was committed for them before.
struct ProcessReading {
    int gdiHeadroom = 0;
    int windows = 0; // of this thread
    size_t committed = 0;
};
ProcessReading readProcess();

// A deterministic generator for the tests' random mixes.
class TestRandom {
  public:
    explicit TestRandom(uint64_t seed) : state_(seed ? seed : 1) {}
    uint32_t next();
    // Uniform in [low, high].
    int range(int low, int high);
    bool chance(int percent) { return range(0, 99) < percent; }

  private:
    uint64_t state_;
};
