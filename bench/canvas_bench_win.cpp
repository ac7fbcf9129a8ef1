// The actions end to end, the way a host runs them: canvas.nbp loaded with
// host::PluginModule, the host played by host::Host, one object window per
// canvas size. Every figure has its floor measured in the same process:
//
//  - kiv_DrawCircle, kiv_ClearCanvas, kiv_DrawText per _nbExecAction call,
//    without and with the repaint (UpdateWindow on the object window after
//    the call), against one memcpy of the canvas image: each action ends in
//    a refresh that takes a whole-image copy, so no action can be cheaper;
//  - the repaint alone (InvalidateRect + UpdateWindow on the picture control,
//    pixels unchanged) against one BitBlt of the same image to the same
//    window.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/timer_win.h"
#include "host/host_win.h"
#include "base/gdi_win.h"

namespace {

struct Size {
    int w, h;
};
const Size SIZES[] = {{320, 240}, {800, 600}, {1920, 1080}};

LRESULT CALLBACK plainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The least a window can do to repaint an image: its WM_PAINT is one
// BitBlt from a memory device context that holds the image.
HDC g_blitSource = nullptr;
LRESULT CALLBACK blitProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r{};
        GetClientRect(hwnd, &r);
        BitBlt(dc, 0, 0, r.right, r.bottom, g_blitSource, 0, 0, SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The host's window with one rectangle object: a child window whose client
// area is w x h, as the host lays its objects out.
class HostWindows {
  public:
    HostWindows(int w, int h) {
        static ATOM cls = 0;
        if (!cls) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &plainProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            wc.lpszClassName = L"BenchHostWindow";
            cls = RegisterClassW(&wc);
        }
        main_ =
            CreateWindowExW(0, L"BenchHostWindow", L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            0, 0, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        object_ = CreateWindowExW(0, L"BenchHostWindow", L"rect",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  w, h, main_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindows() {
        if (main_) {
            DestroyWindow(main_);
        }
    }
    HostWindows(const HostWindows&) = delete;
    HostWindows& operator=(const HostWindows&) = delete;
    HWND object() const { return object_; }

  private:
    HWND main_ = nullptr;
    HWND object_ = nullptr;
};

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::string sizeName(const Size& s) {
    return std::to_string(s.w) + "x" + std::to_string(s.h);
}

bool benchSize(host::PluginModule& plugin, host::Host& host, const Size& size) {
    const std::string at = " " + sizeName(size);
    HostWindows windows(size.w, size.h);
    host.objects["lienzo"] = windows.object();
    pump();
    host::Params create({"lienzo", "$FFFFFF"});
    if (plugin.execAction(1, create.data()) != 1) {
        std::fprintf(stderr, "kiv_CreateCanvas failed at%s\n", at.c_str());
        return false;
    }
    UpdateWindow(windows.object());
    pump();
    HWND canvasWindow = GetWindow(windows.object(), GW_CHILD);
    HWND control = canvasWindow ? GetWindow(canvasWindow, GW_CHILD) : nullptr;
    if (!control) {
        std::fprintf(stderr, "no picture control at%s\n", at.c_str());
        return false;
    }

    // The floor of every action: one copy of the canvas image.
    std::vector<uint8_t> from(size_t(size.w) * size.h * 4, 0x5A), to(from.size());
    bench::report("memcpy" + at, bench::secondsPerCall([&] {
                      std::memcpy(to.data(), from.data(), from.size());
                      bench::keep(to.data());
                  }));

    const std::string r = std::to_string(std::min(size.w, size.h) / 3);
    const std::string cx = std::to_string(size.w / 2), cy = std::to_string(size.h / 2);
    host::Params circle({"lienzo", cx.c_str(), cy.c_str(), r.c_str(), "$0000FF"});
    host::Params clear({"lienzo"});
    host::Params text({"lienzo", "Hola, lienzo", "10", "10", "$000000", "", "Arial,12,"});
    struct Action {
        const char* name;
        int id;
        host::Params* params;
    } const actions[] = {
        {"kiv_DrawCircle", 2, &circle},
        {"kiv_ClearCanvas", 3, &clear},
        {"kiv_DrawText", 4, &text},
    };
    for (const Action& a : actions) {
        bool ok = true;
        bench::report(std::string(a.name) + at, bench::secondsPerCall([&] {
                          ok &= plugin.execAction(a.id, a.params->data()) == 1;
                      }));
        bench::report(std::string(a.name) + " +repaint" + at, bench::secondsPerCall([&] {
                          ok &= plugin.execAction(a.id, a.params->data()) == 1;
                          UpdateWindow(windows.object());
                      }));
        pump();
        if (!ok) {
            std::fprintf(stderr, "%s failed at%s\n", a.name, at.c_str());
            return false;
        }
    }

    // The repaint alone, pixels unchanged, against one BitBlt of the image
    // (the one the control shows) into the control's window.
    bench::report("repaint" + at, bench::secondsPerCall([&] {
                      InvalidateRect(control, nullptr, FALSE);
                      UpdateWindow(control);
                  }));
    HBITMAP image = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    {
        HDC window = GetDC(control);
        MemoryDC source(window);
        ScopedSelect select(source.get(), image);
        bench::report("BitBlt" + at, bench::secondsPerCall([&] {
                          BitBlt(window, 0, 0, size.w, size.h, source.get(), 0, 0, SRCCOPY);
                          GdiFlush();
                      }));
        ReleaseDC(control, window);
    }
    plugin.message(2, 0); // releases every canvas
    pump();
    {
        static ATOM cls = 0;
        if (!cls) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &blitProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"BenchBlitWindow";
            cls = RegisterClassW(&wc);
        }
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), size.w, size.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        GdiObject<HBITMAP> same(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        MemoryDC source;
        ScopedSelect select(source.get(), same.get());
        g_blitSource = source.get();
        HWND blit =
            CreateWindowExW(0, L"BenchBlitWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, size.w, size.h,
                            windows.object(), nullptr, GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(blit);
        bench::report("WM_PAINT with one BitBlt" + at, bench::secondsPerCall([&] {
                          InvalidateRect(blit, nullptr, FALSE);
                          UpdateWindow(blit);
                      }));
        DestroyWindow(blit);
        g_blitSource = nullptr;
    }
    return true;
}

} // namespace

int main() {
    host::PluginModule plugin{L"canvas.nbp"};
    if (!plugin.ok()) {
        std::fprintf(stderr, "canvas.nbp did not load\n");
        return 1;
    }
    host::Host host;
    host.connect(plugin);
    for (const Size& s : SIZES) {
        if (!benchSize(plugin, host, s)) {
            return 1;
        }
    }
    return 0;
}
