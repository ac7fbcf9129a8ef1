// What the editor's tests share: the user in front of the dialog, the spy
// on the font dialog, and the fixture with the DLL, a host and its window.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "canvas/convert.h"
#include "canvas/action_table.h"
#include "canvas/failure.h"
#include "editor/dialogs.h"
#include "editor/editor_win.h"
#include "plugin/plugin_win.h"
#include "host/encoding_win.h"
#include "host/host_win.h"
#include "base/text_win.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_app.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/import_patch.h"
#include "tests/win/support/ui_driver.h"
#include "ui/toolkit_win.h"

namespace editortests {

//--- The user in front of the dialog

inline HWND item(HWND dialog, int control) {
    return GetDlgItem(dialog, control);
}

inline Step click(int control) {
    return [control](HWND d) { SendMessageW(item(d, control), BM_CLICK, 0, 0); };
}
inline Step setText(int control, const wchar_t* text) {
    return [control, text](HWND d) {
        SendMessageW(item(d, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    };
}
// A step that reads the texts of `controls` into `out`, joined by "|".
inline Step readFields(std::wstring& out, std::vector<int> controls) {
    return [&out, controls](HWND d) {
        out.clear();
        for (size_t i = 0; i < controls.size(); ++i) {
            out += (i ? L"|" : L"") + windowText(item(d, controls[i]));
        }
    };
}
const Step pause = [](HWND) {};

// The font dialog the editor opened: a dialog-class window owned by it.
inline HWND fontDialogOf(HWND editor) {
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, L"#32770", nullptr)) &&
           GetWindow(w, GW_OWNER) != editor) {
    }
    return w;
}

// Records what the DLL hands to ChooseFontW and what comes back, then lets
// the real font dialog run.
struct FontDialogCall {
    CHOOSEFONTW choice{};
    LOGFONTW font{}; // as the plug-in prepared it
    BOOL result = FALSE;
    LOGFONTW chosen{}; // as the dialog left it
    COLORREF chosenColour = 0;
};
inline std::vector<FontDialogCall> g_fontCalls;
inline decltype(&ChooseFontW) g_realChooseFont = nullptr;

inline BOOL WINAPI spyChooseFont(LPCHOOSEFONTW choice) {
    FontDialogCall call{*choice, choice->lpLogFont ? *choice->lpLogFont : LOGFONTW{}};
    call.result = g_realChooseFont(choice);
    call.chosen = choice->lpLogFont ? *choice->lpLogFont : LOGFONTW{};
    call.chosenColour = choice->rgbColors;
    g_fontCalls.push_back(call);
    return call.result;
}

struct FontDialogSpy {
    explicit FontDialogSpy(HMODULE m) : module(m) {
        g_fontCalls.clear();
        g_realChooseFont = reinterpret_cast<decltype(&ChooseFontW)>(patchImport(
            module, "comdlg32.dll", "ChooseFontW", reinterpret_cast<void*>(&spyChooseFont)));
    }
    ~FontDialogSpy() {
        if (g_realChooseFont) {
            patchImport(module, "comdlg32.dll", "ChooseFontW",
                        reinterpret_cast<void*>(g_realChooseFont));
        }
    }
    bool ok() const { return g_realChooseFont != nullptr; }
    const HMODULE module;
};

inline std::wstring wide(const char16_t* t) {
    return reinterpret_cast<const wchar_t*>(t); // the same UTF-16 units
}

//--- The fixture: the DLL, a host, an active host window

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(plugin.ok());
        host.connect(plugin);
        SetActiveWindow(owner.main());
        pumpMessages();
    }

    int edit(int id, host::Params& params, std::vector<Step> steps) {
        UserScript script{editor::findDialog(id) ? titleOf(id) : L"-", std::move(steps)};
        const int result = runDialog(script, [&] { return plugin.editAction(id, params.data()); });
        ticks = script.ticks;
        return result;
    }

    static std::wstring titleOf(int id) { return wide(editor::findDialog(id)->title); }

    host::PluginModule plugin{L"canvas.nbp"};
    host::Host host;
    HostScene owner{100, 80, 700, 500, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE};
    size_t ticks = 0;
};

// The slots' addresses and texts, to tell "untouched" from "rewritten".
struct Snapshot {
    std::vector<host::HostString> pointers;
    std::vector<std::string> texts;
};
inline Snapshot snapshot(const host::Params& p) {
    Snapshot s;
    for (size_t i = 0; i < p.size(); ++i) {
        s.pointers.push_back(p.slot(i));
        s.texts.push_back(p.text(i));
    }
    return s;
}

// Counts the windows the thread creates while it lives.
struct CreationCounter {
    CreationCounter() { count = 0; }
    ~CreationCounter() { UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK onCbt(int code, WPARAM wp, LPARAM lp) {
        count += code == HCBT_CREATEWND;
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline int count = 0;
    const HHOOK hook = SetWindowsHookExW(WH_CBT, &onCbt, nullptr, GetCurrentThreadId());
};
} // namespace editortests
