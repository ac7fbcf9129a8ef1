// Hosts unlike the reference host: each row a host's profile and what the
// plug-in must do in it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host/encoding_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_profile.h"
#include "tests/win/support/ui_driver.h"

namespace {

// The host opens each dialog of the plug-in, the steps are played on it,
// and it is closed.
void eachBox(ProfiledHost& h, const std::function<std::vector<Step>(const PluginBox&)>& steps) {
    for (const PluginBox& box : pluginBoxes()) {
        SCOPED_TRACE(host::ansi(box.title));
        UserScript script{box.title, steps(box)};
        script.steps.push_back(post(WM_CLOSE));
        EXPECT_EQ(
            h.call([&] { return runDialog(script, [&] { return box.open(h.plugged.plugin); }); }),
            0);
    }
}

// The client area is the layout's and holds every control, whatever the
// frame; moved to a monitor of twice the DPI, the dialog takes the place
// Windows suggests and keeps its client area.
void dialogsKeepTheirClientArea(ProfiledHost& h) {
    eachBox(h, [](const PluginBox& box) {
        const RECT layout{0, 0, box.client.cx, box.client.cy};
        const RECT suggested{50, 60, 50 + 2 * box.client.cx, 60 + 2 * box.client.cy};
        const Step fits = [=](HWND d) {
            EXPECT_EQ(clientRect(d), layout);
            for (const std::string& fault : layoutFaults(d)) {
                ADD_FAILURE() << fault;
            }
        };
        return std::vector<Step>{fits,
                                 [=](HWND d) {
                                     SendMessageW(d, WM_DPICHANGED, MAKEWPARAM(192, 192),
                                                  reinterpret_cast<LPARAM>(&suggested));
                                 },
                                 [=](HWND d) {
                                     fits(d);
                                     EXPECT_EQ(windowRect(d).left, 50);
                                     EXPECT_EQ(windowRect(d).top, 60);
                                 }};
    });
}

// The canvas window is made in the object window's awareness (Windows lays
// no window into one of another), and the caller's comes back.
void canvasMadeInTheObjectsAwareness(ProfiledHost& h) {
    HWND object = h.redCanvas();
    const int objects = awareness::of(h.profile.windows);
    ASSERT_EQ(awareness::ofWindow(object), objects) << "the host's set-up";
    EXPECT_FALSE(h.made.empty());
    for (const ProfiledHost::Made& m : h.made) {
        EXPECT_EQ(m.awareness, objects) << host::ansi(m.cls);
    }
    EXPECT_EQ(h.awarenessAfter, awareness::of(h.profile.calls));
    EXPECT_TRUE(filledWith(object, RED));
}

// Every dialog takes the capture from the host's window while it is open.
void dialogsTakeTheMouse(ProfiledHost& h) {
    eachBox(h, [&](const PluginBox&) {
        return std::vector<Step>{[&](HWND) { EXPECT_NE(GetCapture(), h.plugged.scene.main()); }};
    });
}

// Erased with their children, the object's canvas shows its image at every
// step, not the canvas window's class brush before the picture paints.
void canvasesNeverFlash(ProfiledHost& h) {
    HWND object = h.redCanvas();
    const auto red = [&](const char* when) {
        EXPECT_EQ(readCanvasSurface(object).count(RED), 60u * 40u) << when;
    };
    red("painted");
    RedrawWindow(object, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_ERASENOW);
    red("erased, before the paint");
    pumpMessages();
    red("painted again");
}

// A dialog opened after the user changed the message font has the new one
// in its controls; the canvases made before keep a font that exists.
void dialogsFollowTheMessageFont(ProfiledHost& h) {
    HWND object = h.redCanvas();
    const auto faceOf = [](HWND window) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return std::wstring(font.lfFaceName);
    };
    const auto dialogsIn = [&](const std::wstring& face) {
        eachBox(h, [&](const PluginBox&) {
            return std::vector<Step>{[&](HWND d) { EXPECT_EQ(faceOf(childWindows(d)[0]), face); }};
        });
    };
    NONCLIENTMETRICSW before{};
    before.cbSize = sizeof before;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof before, &before, 0));
    dialogsIn(before.lfMessageFont.lfFaceName);
    NONCLIENTMETRICSW changed = before;
    lstrcpyW(changed.lfMessageFont.lfFaceName, L"Liberation Mono");
    ASSERT_TRUE(SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof changed, &changed, 0));
    dialogsIn(L"Liberation Mono");
    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof before, &before, 0);
    HWND picture = childWindows(canvasWindowIn(object)).at(0);
    EXPECT_EQ(faceOf(picture), L"Liberation Mono");
    dialogsIn(before.lfMessageFont.lfFaceName);
}

// Per-monitor aware as Wine knows it (it has no second version).
const DPI_AWARENESS_CONTEXT PER_MONITOR = DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE;

TEST(HostsUnlikeOurs, EachRow) {
    const std::pair<HostProfile, void (*)(ProfiledHost&)> rows[] = {
        {{"a skinning host: every caption 30 pixels taller", 30}, &dialogsKeepTheirClientArea},
        {{"per-monitor-aware windows, called unaware", 0, PER_MONITOR,
          DPI_AWARENESS_CONTEXT_UNAWARE},
         &canvasMadeInTheObjectsAwareness},
        {{"per-monitor-aware windows, called system aware", 0, PER_MONITOR,
          DPI_AWARENESS_CONTEXT_SYSTEM_AWARE},
         &canvasMadeInTheObjectsAwareness},
        {{"a host holding the mouse when it calls", 0, nullptr, nullptr, true},
         &dialogsTakeTheMouse},
        {{"a host erasing an object with its children"}, &canvasesNeverFlash},
        {{"a user changing the message font while the host runs"}, &dialogsFollowTheMessageFont},
    };
    for (const auto& [profile, check] : rows) {
        SCOPED_TRACE(profile.name);
        ProfiledHost h(profile);
        ASSERT_TRUE(h.plugged.plugin.ok());
        check(h);
    }
}

} // namespace
