// The dialogs on screens of more dots per inch. A process reads the
// system DPI once, when it starts, so each DPI is a child process of its
// own, started while the prefix's LogPixels (what Windows' display
// settings write) holds it; this program runs alone (ctest RUN_SERIAL), so
// no other program starts meanwhile.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/gdi_win.h"
#include "host/encoding_win.h"
#include "host/host_win.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_profile.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/ui_driver.h"

namespace {

const bool g_gdiSpy = watchGdiAroundAllTests();

const wchar_t DPI_FLAG[] = L"--dpi=";

// The DPI the parent started this child for, 0 in the parent.
int requestedDpi() {
    const std::wstring line = GetCommandLineW();
    const size_t at = line.find(DPI_FLAG);
    return at == std::wstring::npos ? 0 : _wtoi(line.c_str() + at + lstrlenW(DPI_FLAG));
}

int screenDpi() {
    const ScreenDC screen;
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

// Run only by the test below, once per DPI.
TEST(Dpi, DISABLED_TextsFitTheirControlsAndCanvasesKeepTheirPixels) {
    const int dpi = requestedDpi();
    ASSERT_EQ(screenDpi(), dpi) << "the screen's DPI, read at the start";
    host::PluginModule plugin(L"canvas.nbp");
    ASSERT_TRUE(plugin.ok());
    host::Host host;
    host.connect(plugin);
    HostScene scene(100, 80, 700, 500, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE);
    SetActiveWindow(scene.main());
    pumpMessages();

    for (const PluginBox& box : pluginBoxes()) {
        std::vector<std::string> faults{"never shown"};
        UserScript script{box.title, {[&](HWND d) { faults = layoutFaults(d); }, post(WM_CLOSE)}};
        EXPECT_EQ(runDialog(script, [&] { return box.open(plugin); }), 0);
        std::string all;
        for (const std::string& fault : faults) {
            all += "\n  " + fault;
        }
        EXPECT_TRUE(faults.empty()) << host::ansi(box.title) << " at " << dpi << " dpi:" << all;
    }

    // A canvas is the object's size in pixels, and a circle lands where the
    // script's coordinates say.
    HWND object = scene.addObject(host, "a", 10, 10, 60, 40);
    ASSERT_EQ(runAction(plugin, CREATE, {"a", "$0000FF"}), 1);
    ASSERT_EQ(runAction(plugin, CIRCLE, {"a", "30", "20", "10", "$FFFFFF"}), 1);
    EXPECT_EQ(clientRect(canvasWindowIn(object)), (RECT{0, 0, 60, 40}));
    const CanvasPixels shown = readCanvas(object);
    ASSERT_EQ(shown.width, 60);
    ASSERT_EQ(shown.height, 40);
    EXPECT_EQ(shown.at(40, 20), WHITE);
    EXPECT_EQ(shown.at(41, 20), RED);
}

// The prefix's screen DPI for the programs started while it lives; the
// value it had (or none) is put back after.
class ScreenDpiSetting {
  public:
    explicit ScreenDpiSetting(DWORD dpi) {
        DWORD size = sizeof before_;
        had_ = RegGetValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                            &before_, &size) == ERROR_SUCCESS;
        set(dpi);
    }
    ~ScreenDpiSetting() {
        had_ ? set(before_) : void(RegDeleteKeyValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels"));
    }
    ScreenDpiSetting(const ScreenDpiSetting&) = delete;
    ScreenDpiSetting& operator=(const ScreenDpiSetting&) = delete;

  private:
    static constexpr const wchar_t* DESKTOP = L"Control Panel\\Desktop";
    static void set(DWORD dpi) {
        EXPECT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels", REG_DWORD, &dpi, sizeof dpi),
            ERROR_SUCCESS);
    }
    DWORD before_ = 0;
    bool had_ = false;
};

TEST(Dpi, AtEveryDpiTheDialogsTextsFitAndCanvasesKeepTheirPixels) {
    ASSERT_EQ(screenDpi(), 96) << "this program itself";
    for (int dpi : {96, 120, 144}) {
        Process child;
        {
            const ScreenDpiSetting setting(static_cast<DWORD>(dpi));
            // The DPI flag rides after the filter on the child's command line.
            child = runOwnTests(L"Dpi.DISABLED_* " + std::wstring(DPI_FLAG) + std::to_wstring(dpi));
        }
        EXPECT_TRUE(onePassed(child)) << dpi << " dpi:\n" << child.out << child.err;
    }
}

} // namespace
