// What the toolkit's tests share: dialogs and canvases a test opens, closed
// when it ends, on the toolkit started once for the program.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "base/gdi_win.h"
#include "base/owners_win.h"
#include "host/host_win.h"
#include "plugin/plugin_win.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/subclass_spy.h"
#include "tests/win/support/ui_driver.h"

namespace uitests {

inline HWND hwndOf(intptr_t made) {
    return reinterpret_cast<HWND>(made);
}

inline bool classRegistered(int number) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    const std::wstring name = L"WindowClass_" + std::to_wstring(number);
    return GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &wc) != 0;
}

class Toolkit : public ::testing::Test {
  protected:
    void TearDown() override {
        UiCloseWindow(0);
        windows.closeAll();
    }
    HWND openDialog(HWND owner = nullptr) {
        return hwndOf(UiOpenWindow(0, 30, 40, 400, 150, u"Di\u00e1logo", UI_FLAGS_DIALOG, owner));
    }

    TestWindows windows;
};

} // namespace uitests
