#include "tests/win/support/host_profile.h"

#include <commctrl.h>

#include <algorithm>

#include "editor/dialogs.h"
#include "tests/win/support/ui_driver.h"

namespace awareness {

namespace {

template <typename Function> Function user32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

using Context = DPI_AWARENESS_CONTEXT;

} // namespace

Context setThread(Context context) {
    static const auto set = user32<Context(WINAPI*)(Context)>("SetThreadDpiAwarenessContext");
    return set && context ? set(context) : nullptr;
}

int of(Context context) {
    static const auto get = user32<int(WINAPI*)(Context)>("GetAwarenessFromDpiAwarenessContext");
    return get && context ? get(context) : -1;
}

int ofThread() {
    static const auto get = user32<Context(WINAPI*)()>("GetThreadDpiAwarenessContext");
    return of(get ? get() : nullptr);
}

int ofWindow(HWND window) {
    static const auto get = user32<Context(WINAPI*)(HWND)>("GetWindowDpiAwarenessContext");
    return of(get ? get(window) : nullptr);
}

} // namespace awareness

namespace {

ProfiledHost* g_host = nullptr; // the one whose hook is in place

// The skin's caption: whatever the system gives, this much taller.
LRESULT CALLBACK skin(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR growth) {
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &skin, 0);
    }
    const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_NCCALCSIZE) {
        RECT& client =
            wp ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : *reinterpret_cast<RECT*>(lp);
        client.top = std::min(client.top + static_cast<LONG>(growth), client.bottom);
    }
    return result;
}

LRESULT CALLBACK watchCreation(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND && g_host) {
        const auto hwnd = reinterpret_cast<HWND>(wp);
        wchar_t cls[256] = {};
        GetClassNameW(hwnd, cls, 256);
        g_host->made.push_back({cls, awareness::ofThread()});
        const LONG style = reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs->style;
        if (g_host->profile.captionGrowth && !(style & WS_CHILD) &&
            (style & WS_CAPTION) == WS_CAPTION) {
            SetWindowSubclass(hwnd, &skin, 0,
                              static_cast<DWORD_PTR>(g_host->profile.captionGrowth));
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// The thread in `context` for the scope (nothing for null).
struct ThreadAwareness {
    explicit ThreadAwareness(DPI_AWARENESS_CONTEXT context)
        : before(awareness::setThread(context)) {}
    ~ThreadAwareness() { awareness::setThread(before); }
    DPI_AWARENESS_CONTEXT before;
};

HHOOK hookFor(ProfiledHost* host) {
    g_host = host;
    return SetWindowsHookExW(WH_CBT, &watchCreation, nullptr, GetCurrentThreadId());
}

} // namespace

ProfiledHost::ProfiledHost(const HostProfile& p)
    : profile(p), hook_(hookFor(this)), before_(awareness::setThread(p.windows)) {
    awareness::setThread(before_);
    EXPECT_NE(hook_, nullptr);
    SetActiveWindow(plugged.scene.main());
    pumpMessages();
}

ProfiledHost::~ProfiledHost() {
    UnhookWindowsHookEx(hook_);
    g_host = nullptr;
}

HWND ProfiledHost::object(const std::string& name, int x, int y, int w, int h) {
    const ThreadAwareness making(profile.windows);
    return plugged.scene.addObject(plugged.host, name, x, y, w, h);
}

HWND ProfiledHost::redCanvas() {
    HWND object = this->object("a", 10, 10, 60, 40);
    EXPECT_EQ(call([&] { return runAction(plugged.plugin, CREATE, {"a", "$0000FF"}); }), 1);
    return object;
}

int ProfiledHost::call(const std::function<int()>& call) {
    made.clear();
    int result = 0;
    {
        const ThreadAwareness calling(profile.calls);
        if (profile.holdsCapture) {
            SetCapture(plugged.scene.main());
        }
        result = call();
        awarenessAfter = awareness::ofThread();
    }
    if (GetCapture()) {
        ReleaseCapture();
    }
    return result;
}

std::vector<PluginBox> pluginBoxes() {
    const auto editor = [](int id) {
        const editor::DialogLayout& layout = *editor::findDialog(id);
        return PluginBox{
            reinterpret_cast<const wchar_t*>(layout.title),
            SIZE{editor::DIALOG_WIDTH, layout.height}, [id](host::PluginModule& p) {
                host::Params params({"Rect\xE1ngulo 1", "1", "2", "3", "$0000FF", "", "Arial,12,"});
                return p.editAction(id, params.data());
            }};
    };
    return {editor(CREATE), editor(CIRCLE), editor(CLEAR), editor(TEXT),
            PluginBox{L"About", SIZE{400, 150}, [](host::PluginModule& p) { return p.about(); }}};
}
