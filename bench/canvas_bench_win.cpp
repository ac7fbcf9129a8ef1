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

#include "bench/bench_windows_win.h"
#include "bench/timer_win.h"
#include "host/host_win.h"
#include "base/gdi_win.h"

namespace {

struct Size {
    int w, h;
};
const Size SIZES[] = {{320, 240}, {800, 600}, {1920, 1080}};

std::string sizeName(const Size& s) {
    return std::to_string(s.w) + "x" + std::to_string(s.h);
}

bool benchSize(host::PluginModule& plugin, host::Host& host, const Size& size) {
    const std::string at = " " + sizeName(size);
    bench::HostWindows windows(0, 0, size.w, size.h);
    host.objects["lienzo"] = windows.object();
    bench::pump();
    host::Params create({"lienzo", "$FFFFFF"});
    if (plugin.execAction(1, create.data()) != 1) {
        std::fprintf(stderr, "kiv_CreateCanvas failed at%s\n", at.c_str());
        return false;
    }
    UpdateWindow(windows.object());
    bench::pump();
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
        bench::pump();
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
        WindowDC window(control);
        MemoryDC source(window.get());
        ScopedSelect select(source.get(), image);
        bench::report("BitBlt" + at, bench::secondsPerCall([&] {
                          BitBlt(window.get(), 0, 0, size.w, size.h, source.get(), 0, 0, SRCCOPY);
                          GdiFlush();
                      }));
    }
    plugin.message(2, 0); // releases every canvas
    bench::pump();
    {
        bench::BareWindow bare(0, size.h + 20, size.w, size.h);
        bench::report("WM_PAINT with one BitBlt" + at, bench::secondsPerCall([&] {
                          InvalidateRect(bare.window(), nullptr, FALSE);
                          UpdateWindow(bare.window());
                      }));
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
