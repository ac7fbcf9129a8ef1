// Where the time of one drawing action goes, piece by piece, on an 800 x 600
// canvas inside a host-like object window (the plug-in's glue linked in
// directly, the host played by host::Host). Not part of the summary table:
// `bench/run-bench --pieces` prints these figures for whoever is looking for
// the next thing to speed up. Under Wine every call that asks the Wine
// server (window properties, relatives, positions, update regions) costs a
// round trip to another process, which is why a few of those are timed too.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/timer_win.h"
#include "canvas/actions_win.h"
#include "draw/alpha_blend_win.h"
#include "draw/drawpass_win.h"
#include "draw/font_win.h"
#include "draw/image_win.h"
#include "draw/picture_win.h"
#include "draw/premultiply.h"
#include "host/host_win.h"
#include "plugin/plugin_win.h"
#include "base/gdi_win.h"
#include "ui/toolkit_win.h"

namespace {

int W = 800, H = 600; // or the size given as "WIDTHxHEIGHT"

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::sscanf(argv[1], "%dx%d", &W, &H) != 2) {
        std::fprintf(stderr, "usage: pieces_bench [WIDTHxHEIGHT]\n");
        return 2;
    }
    plugin::attach(GetModuleHandleW(nullptr));
    host::Host host;
    plugin::registerInterfaceAccess(&host::Host::interfaceProc);

    WNDCLASSW wc{};
    wc.lpfnWndProc = &plainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"PiecesHostWindow";
    RegisterClassW(&wc);
    HWND main =
        CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                        W, H, nullptr, nullptr, wc.hInstance, nullptr);
    HWND object = CreateWindowExW(0, wc.lpszClassName, L"rect",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  W, H, main, nullptr, wc.hInstance, nullptr);
    host.objects["lienzo"] = object;
    host::Params create({"lienzo", ""});
    if (plugin::execAction(1, create.data()) != 1) {
        std::fprintf(stderr, "kiv_CreateCanvas failed\n");
        return 1;
    }
    UpdateWindow(object);
    pump();
    const CanvasEntry* entry = canvas::registry().findCanvas(u"lienzo");
    const int image = entry->image, pic = entry->pictureControl;
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(ImgHandle(image));
    HWND control = UiControlHandle(pic);

    std::vector<uint8_t> from(size_t(W) * H * 4, 0x5A), to(from.size());
    bench::report("memcpy of the image", bench::secondsPerCall([&] {
                      std::memcpy(to.data(), from.data(), from.size());
                      bench::keep(to.data());
                  }));
    host::Params circle({"lienzo", "400", "300", "200", "$0000FF"});
    bench::report("kiv_DrawCircle",
                  bench::secondsPerCall([&] { plugin::execAction(2, circle.data()); }));
    host::Params clear({"lienzo"});
    bench::report("kiv_ClearCanvas",
                  bench::secondsPerCall([&] { plugin::execAction(3, clear.data()); }));

    //--- The drawing pass
    bench::report("ImgOutput + DrawStop", bench::secondsPerCall([&] {
                      ImgOutput(image);
                      DrawStop();
                  }));
    bench::report("memory DC + select the image + delete", bench::secondsPerCall([&] {
                      HDC dc = CreateCompatibleDC(nullptr);
                      HGDIOBJ old = SelectObject(dc, bitmap);
                      SelectObject(dc, old);
                      DeleteDC(dc);
                  }));
    {
        HDC dc = CreateCompatibleDC(nullptr);
        bench::report("select the image into a kept DC and out", bench::secondsPerCall([&] {
                          HGDIOBJ old = SelectObject(dc, bitmap);
                          SelectObject(dc, old);
                      }));
        DeleteDC(dc);
    }
    bench::report("GetObjectW DIBSECTION", bench::secondsPerCall([&] {
                      DIBSECTION ds;
                      GetObjectW(bitmap, sizeof(ds), &ds);
                  }));
    bench::report("ImgOutput + DrawStart + DrawStop", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawStop();
                  }));
    bench::report("pass with one circle", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawSetMode(DRAW_MODE_OUTLINED);
                      DrawCircle(400, 300, 200, 0xFF);
                      DrawStop();
                  }));
    bench::report("pass with a box over the image", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawBox(0, 0, W, H, 0xFFFFFF);
                      DrawStop();
                  }));
    // Text as kiv_DrawText draws it, its font made beforehand.
    for (const int style : {0, FONT_ITALIC}) {
        const intptr_t font = FontLoad(UI_ANY, u"Arial", 10, style);
        bench::report(style ? "pass with \"Hg\", Arial 10 italic" : "pass with \"Hg\", Arial 10",
                      bench::secondsPerCall([&] {
                          DrawStart(ImgOutput(image));
                          DrawSetFont(FontHandle(static_cast<int>(font)));
                          DrawSetMode(DRAW_MODE_TRANSPARENT);
                          DrawString(60, 60, u"Hg", 0);
                          DrawStop();
                      }));
        FontFree(static_cast<int>(font));
    }
    bench::report("italicOverhang(SYSTEM_FONT)", bench::secondsPerCall([&] {
                      draw::italicOverhang(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
                  }));

    //--- The refresh
    bench::report("refresh (UiSetState)", bench::secondsPerCall([&] {
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                  }));
    {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), W, H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        MemoryDC dc;
        bench::report("GetDIBits of the image", bench::secondsPerCall([&] {
                          GetDIBits(dc.get(), bitmap, 0, H, to.data(), &bi, DIB_RGB_COLORS);
                      }));
        bench::report("premultiply scan of an opaque copy", bench::secondsPerCall([&] {
                          draw::premultiplyPixels(to.data(), to.data(), size_t(W) * H);
                      }));
    }
    {
        DIBSECTION ds{};
        GetObjectW(bitmap, sizeof(ds), &ds);
        const auto* imageBits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
        bench::report("premultiplied copy of the image memory", bench::secondsPerCall([&] {
                          draw::premultiplyPixels(to.data(), imageBits, size_t(W) * H);
                      }));
        bench::report("memcpy of the image memory", bench::secondsPerCall([&] {
                          std::memcpy(to.data(), imageBits, size_t(W) * H * 4);
                          bench::keep(to.data());
                      }));
    }
    bench::report("pass with one circle + refresh", bench::secondsPerCall([&] {
                      DrawStart(ImgOutput(image));
                      DrawSetMode(DRAW_MODE_OUTLINED);
                      DrawCircle(400, 300, 200, 0xFF);
                      DrawStop();
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                  }));
    bench::report("ImgOutput + DrawStop + refresh", bench::secondsPerCall([&] {
                      ImgOutput(image);
                      DrawStop();
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                  }));
    bench::report("refresh again", bench::secondsPerCall([&] {
                      UiSetState(pic, reinterpret_cast<intptr_t>(bitmap));
                  }));
    bench::report("STM_SETIMAGE", bench::secondsPerCall([&] {
                      SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP,
                                   reinterpret_cast<LPARAM>(bitmap));
                  }));
    bench::report("STM_GETIMAGE", bench::secondsPerCall([&] {
                      SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0);
                  }));
    bench::report("SetWindowPos to the same size", bench::secondsPerCall([&] {
                      SetWindowPos(control, nullptr, 0, 0, W, H,
                                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
                  }));
    bench::report("InvalidateRect",
                  bench::secondsPerCall([&] { InvalidateRect(control, nullptr, FALSE); }));

    //--- The repaint
    UpdateWindow(object);
    bench::report("repaint (InvalidateRect + UpdateWindow)", bench::secondsPerCall([&] {
                      InvalidateRect(control, nullptr, FALSE);
                      UpdateWindow(control);
                  }));
    bench::report("InvalidateRect + BeginPaint + EndPaint, nothing drawn",
                  bench::secondsPerCall([&] {
                      InvalidateRect(control, nullptr, FALSE);
                      PAINTSTRUCT ps;
                      BeginPaint(control, &ps);
                      EndPaint(control, &ps);
                  }));
    {
        HDC dc = GetDC(control);
        bench::report("WM_PRINTCLIENT to the window", bench::secondsPerCall([&] {
                          SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                                       PRF_CLIENT);
                          GdiFlush();
                      }));
        MemoryDC source(dc);
        ScopedSelect select(source.get(), bitmap);
        bench::report("BitBlt to the window", bench::secondsPerCall([&] {
                          BitBlt(dc, 0, 0, W, H, source.get(), 0, 0, SRCCOPY);
                          GdiFlush();
                      }));
        // The plug-in's own lookup: msimg32.dll from the system directory,
        // as the pictures blend with it.
        const draw::AlphaBlendFn alphaBlend = draw::alphaBlend();
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        bench::report("AlphaBlend to the window", bench::secondsPerCall([&] {
                          alphaBlend(dc, 0, 0, W, H, source.get(), 0, 0, W, H, blend);
                          GdiFlush();
                      }));
        ReleaseDC(control, dc);
    }

    //--- Wine server round trips and other small things
    bench::report("SendMessage WM_NULL to the control",
                  bench::secondsPerCall([&] { SendMessageW(control, WM_NULL, 0, 0); }));
    bench::report("GetWindowRect", bench::secondsPerCall([&] {
                      RECT r;
                      GetWindowRect(control, &r);
                  }));
    bench::report("GetPropW", bench::secondsPerCall([&] { bench::keep(GetPropW(control, L"x")); }));
    bench::report("GetWindow GW_CHILD",
                  bench::secondsPerCall([&] { bench::keep(GetWindow(object, GW_CHILD)); }));
    bench::report("PeekMessage, nothing waiting", bench::secondsPerCall([&] {
                      MSG m;
                      PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
                  }));
    bench::report("CreateCompatibleDC + DeleteDC",
                  bench::secondsPerCall([&] { DeleteDC(CreateCompatibleDC(nullptr)); }));

    canvas::releaseAllCanvases();
    DestroyWindow(main);
    plugin::detach();
    return 0;
}
