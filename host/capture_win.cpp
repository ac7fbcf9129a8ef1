#include "host/capture_win.h"

#include <cstdio>

#include "base/dib_win.h"
#include "base/gdi_win.h"
#include "host/png.h"

namespace host {

namespace {

// The window is copied into a 32-bit DIB (blue, green, red, unused), then
// repacked as the picture's red, green, blue.
const int CAPTURE_BITS_PER_PIXEL = 32;
const size_t CAPTURE_BYTES_PER_PIXEL = CAPTURE_BITS_PER_PIXEL / 8;
const size_t PICTURE_BYTES_PER_PIXEL = 3;

} // namespace

//--- Picture

COLORREF Picture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return OUTSIDE_PICTURE;
    }
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * PICTURE_BYTES_PER_PIXEL];
    return RGB(p[0], p[1], p[2]);
}

bool captureWindow(HWND window, bool wholeWindow, Picture* out) {
    RECT r{};
    if (!IsWindow(window) ||
        !(wholeWindow ? GetWindowRect(window, &r) : GetClientRect(window, &r))) {
        return false;
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0) {
        return false;
    }
    // Everything queued for painting is drawn first, children included.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    WindowDC source(window, wholeWindow);
    MemoryDC memory(source.get());
    if (!source.get() || !memory) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader = dibHeader(w, h, CAPTURE_BITS_PER_PIXEL, RowOrder::TopDown);
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(
        CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return false;
    }
    {
        ScopedSelect select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, w, h, source.get(), 0, 0, SRCCOPY)) {
            return false;
        }
        GdiFlush();
    }
    out->width = w;
    out->height = h;
    const size_t pixels = static_cast<size_t>(w) * h;
    out->rgb.resize(pixels * PICTURE_BYTES_PER_PIXEL);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* bgrx = src + i * CAPTURE_BYTES_PER_PIXEL;
        uint8_t* rgb = &out->rgb[i * PICTURE_BYTES_PER_PIXEL];
        rgb[0] = bgrx[2];
        rgb[1] = bgrx[1];
        rgb[2] = bgrx[0];
    }
    return true;
}

bool savePng(const std::wstring& path, const Picture& picture) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        return false;
    }
    const bool ok = writePng(f, picture.width, picture.height, picture.rgb);
    return std::fclose(f) == 0 && ok;
}

} // namespace host
