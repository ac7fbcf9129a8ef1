// Where the time of one drawing action goes, piece by piece, on an 800 x 600
// canvas image and a picture control in a toolkit window (the glue linked
// in directly). Not part of the summary table: `bench/run-bench --pieces`
// prints these figures for whoever is looking for the next thing to speed up.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/timer_win.h"
#include "draw/drawpass_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "plugin/win_util.h"
#include "ui/toolkit_win.h"

namespace {

constexpr int W = 800, H = 600;

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

HBITMAP newSection(void** bits) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

} // namespace

int main() {
    uiStartup();
    pictureStartup();
    draw::drawStartup();
    const int window =
        static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, W, H, u"", UI_FLAGS_CANVAS, nullptr));
    const int image = static_cast<int>(ImgCreate(UI_ANY, W, H, 32, 0));
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(image));
    const int pic = static_cast<int>(UiAddPicture(UI_ANY, 0, 0, W, H, bitmap));
    HWND control = UiControlHandle(pic);
    HWND canvas = UiWindowHandle(window);
    if (!control || !canvas) {
        std::fprintf(stderr, "no picture control\n");
        return 1;
    }
    UpdateWindow(canvas);
    pump();

    std::vector<uint8_t> from(size_t(W) * H * 4, 0x5A), to(from.size());
    bench::report("memcpy", bench::secondsPerCall([&] {
                      std::memcpy(to.data(), from.data(), from.size());
                      bench::keep(to.data());
                  }));
    bench::report("ImgOutput+DrawStart+DrawStop", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawStop();
                  }));
    bench::report("box fill (whole image)", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawBox(0, 0, W, H, 0xFFFFFF);
                      DrawStop();
                  }));
    bench::report("UiSetState (refresh)", bench::secondsPerCall([&] {
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                  }));
    bench::report("UiSetState + UpdateWindow", bench::secondsPerCall([&] {
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                      UpdateWindow(control);
                  }));
    bench::report("CreateDIBSection + DeleteObject", bench::secondsPerCall([&] {
                      void* bits = nullptr;
                      DeleteObject(newSection(&bits));
                  }));
    bench::report("CreateDIBSection + touch + DeleteObject", bench::secondsPerCall([&] {
                      void* bits = nullptr;
                      HBITMAP b = newSection(&bits);
                      std::memset(bits, 0, size_t(W) * H * 4);
                      DeleteObject(b);
                  }));
    void* copyBits = nullptr;
    GdiObject<HBITMAP> copy(newSection(&copyBits));
    {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        MemoryDC dc;
        bench::report("GetDIBits copy", bench::secondsPerCall([&] {
                          GetDIBits(dc.get(), bitmap, 0, H, copyBits, &bi, DIB_RGB_COLORS);
                      }));
    }
    bench::report("premultiply scan", bench::secondsPerCall([&] {
                      auto* p = static_cast<uint8_t*>(copyBits);
                      for (size_t i = 0; i < size_t(W) * H; ++i, p += 4) {
                          const unsigned alpha = p[3];
                          if (alpha != 255) {
                              p[0] = static_cast<uint8_t>((p[0] * alpha) >> 8);
                              p[1] = static_cast<uint8_t>((p[1] * alpha) >> 8);
                              p[2] = static_cast<uint8_t>((p[2] * alpha) >> 8);
                          }
                      }
                      bench::keep(copyBits);
                  }));
    bench::report("RedrawWindow parent (erase, update now)", bench::secondsPerCall([&] {
                      RedrawWindow(canvas, nullptr, nullptr,
                                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                  }));
    bench::report("InvalidateRect + UpdateWindow (control)", bench::secondsPerCall([&] {
                      InvalidateRect(control, nullptr, FALSE);
                      UpdateWindow(control);
                  }));
    {
        HMODULE msimg32 = LoadLibraryW(L"msimg32.dll");
        auto alphaBlend = reinterpret_cast<AlphaBlendFn>(
            reinterpret_cast<void*>(GetProcAddress(msimg32, "AlphaBlend")));
        HDC dc = GetDC(control);
        MemoryDC source(dc);
        ScopedSelect select(source.get(), copy.get());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        bench::report("AlphaBlend to window", bench::secondsPerCall([&] {
                          alphaBlend(dc, 0, 0, W, H, source.get(), 0, 0, W, H, blend);
                          GdiFlush();
                      }));
        bench::report("BitBlt to window", bench::secondsPerCall([&] {
                          BitBlt(dc, 0, 0, W, H, source.get(), 0, 0, SRCCOPY);
                          GdiFlush();
                      }));
        bench::report("memory DC + select + BitBlt", bench::secondsPerCall([&] {
                          MemoryDC s(dc);
                          ScopedSelect sel(s.get(), copy.get());
                          BitBlt(dc, 0, 0, W, H, s.get(), 0, 0, SRCCOPY);
                          GdiFlush();
                      }));
        ReleaseDC(control, dc);
        FreeLibrary(msimg32);
    }
    UiCloseWindow(window);
    ImgFree(image);
    draw::drawShutdown();
    pictureShutdown();
    uiShutdown();
    return 0;
}
