#include "tests/win/support/canvas_probe.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "tests/win/support/ui_driver.h"

size_t CanvasPixels::count(uint32_t colour) const {
    return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), colour));
}

uint32_t colourOfPixel(uint32_t memory) {
    return ((memory & 0xFF) << 16) | (memory & 0xFF00) | ((memory >> 16) & 0xFF);
}

std::vector<uint32_t> paintedPixels(int width, int height, uint32_t background,
                                    const std::function<void(HDC)>& paint) {
    MemoryDC dc;
    DibSection dib(dc.get(), width, height, 32, RowOrder::TopDown);
    if (!dib) {
        return {};
    }
    auto* bits = reinterpret_cast<uint32_t*>(dib.bits());
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::fill_n(bits, n, background);
    {
        ScopedSelect select(dc.get(), dib.get());
        paint(dc.get());
        GdiFlush();
    }
    return std::vector<uint32_t>(bits, bits + n);
}

ImagePixels::ImagePixels(int number) {
    const HBITMAP h = reinterpret_cast<HBITMAP>(ImgHandle(number));
    EXPECT_EQ(GetObjectW(h, sizeof(ds), &ds), int(sizeof(ds)));
    GdiFlush();
}

uint32_t ImagePixels::at(int x, int y) const {
    const int row = ds.dsBmih.biHeight > 0 ? height() - 1 - y : y;
    uint32_t v = 0;
    std::memcpy(
        &v, static_cast<const uint8_t*>(ds.dsBm.bmBits) + row * ds.dsBm.bmWidthBytes + x * 4, 4);
    return v;
}

std::vector<uint32_t> ImagePixels::all() const {
    std::vector<uint32_t> out;
    for (int y = 0; y < height(); ++y) {
        for (int x = 0; x < width(); ++x) {
            out.push_back(at(x, y));
        }
    }
    return out;
}

std::vector<HWND> canvasWindowsIn(HWND object) {
    return childWindows(object);
}

HWND canvasWindowIn(HWND object) {
    return GetWindow(object, GW_CHILD);
}

namespace {

// The picture control of the object's (first) canvas, or null.
HWND pictureIn(HWND object) {
    const HWND canvas = canvasWindowIn(object);
    return canvas ? FindWindowExW(canvas, nullptr, L"Static", nullptr) : nullptr;
}

// What `draw` puts into a section the size of the picture control (given
// that control), in CanvasPixels' form. The section starts in a colour no
// canvas pixel reads as, so an unpainted area shows. Empty without a
// control.
template <typename Draw> CanvasPixels capturePicture(HWND picture, Draw draw) {
    RECT r{};
    if (!picture || !GetClientRect(picture, &r) || r.right <= 0 || r.bottom <= 0) {
        return {};
    }
    CanvasPixels s{r.right, r.bottom, paintedPixels(r.right, r.bottom, 0xFF123456u, [&](HDC dc) {
                       draw(picture, dc, r);
                   })};
    if (s.empty()) {
        return {};
    }
    std::transform(s.pixels.begin(), s.pixels.end(), s.pixels.begin(), &colourOfPixel);
    return s;
}

} // namespace

CanvasPixels readPicture(HWND picture) {
    return capturePicture(picture, [](HWND control, HDC dc, const RECT&) {
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    });
}

CanvasPixels readPictureSurface(HWND picture) {
    return capturePicture(picture, [](HWND control, HDC dc, const RECT& r) {
        WindowDC window(control);
        BitBlt(dc, 0, 0, r.right, r.bottom, window.get(), 0, 0, SRCCOPY);
    });
}

CanvasPixels readCanvasScreen(HWND object) {
    return capturePicture(pictureIn(object), [](HWND control, HDC dc, const RECT& r) {
        RECT at{};
        GetWindowRect(control, &at);
        const ScreenDC screen;
        BitBlt(dc, 0, 0, r.right, r.bottom, screen.get(), at.left, at.top, SRCCOPY);
    });
}

CanvasPixels readCanvas(HWND object) {
    return readPicture(pictureIn(object));
}

CanvasPixels readCanvasSurface(HWND object) {
    return readPictureSurface(pictureIn(object));
}

size_t committedBytes() {
    PROCESS_MEMORY_COUNTERS pmc{sizeof pmc};
    return GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc) ? pmc.PagefileUsage : 0;
}

int gdiHeadroom() {
    constexpr size_t LIMIT = 1000000; // far above Wine's tables; a system without one still ends
    std::vector<HBRUSH> brushes;
    brushes.reserve(70000);
    while (brushes.size() < LIMIT) {
        HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
        if (!b) {
            break;
        }
        brushes.push_back(b);
    }
    for (HBRUSH b : brushes) {
        DeleteObject(b);
    }
    return static_cast<int>(brushes.size());
}

namespace {

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, &countChild, count);
    return TRUE;
}

} // namespace

int threadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &countTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

ProcessReading readProcess() {
    // A braced list runs in its order: the GDI table is filled before the memory is read.
    return {gdiHeadroom(), threadWindowCount(), committedBytes()};
}

uint32_t TestRandom::next() {
    // xorshift64*: small, fast and the same sequence in both builds.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 2685821657736338717ull) >> 32);
}

int TestRandom::range(int low, int high) {
    const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(high) - low) + 1;
    return static_cast<int>(low + static_cast<int64_t>(next() % span));
}
