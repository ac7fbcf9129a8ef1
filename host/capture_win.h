// Screenshots for the reference host: a window's pixels read back, and
// saved as PNG.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// What Picture::at gives for a point outside: no GDI colour has a high byte.
constexpr COLORREF OUTSIDE_PICTURE = 0xFFFFFFFF;

// 8-bit RGB pixels, rows top first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    // The pixel as a GDI colour (0x00BBGGRR); OUTSIDE_PICTURE outside.
    COLORREF at(int x, int y) const;
};

// Reads a window's pixels, child windows included: its client area, or the
// whole window with the frame Wine draws. Reads the window's own surface,
// so other windows lying over it do not show. False on failure.
bool captureWindow(HWND window, bool wholeWindow, Picture* out);

// Writes the picture as a PNG file. False when the file cannot be written.
bool savePng(const std::wstring& path, const Picture& picture);

} // namespace host
