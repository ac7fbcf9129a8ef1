#include "tests/win/support/subclass_spy.h"

#include "tests/win/support/ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

std::array<Spied, 4> g_spied; // each handed out once in a program
size_t g_used = 0;
const wchar_t* g_className = nullptr;

template <size_t I> LRESULT CALLBACK spyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Spied& s = g_spied[I];
    if (hwnd != s.hwnd || s.gone) {
        ++s.strays;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    s.calls.emplace_back(msg, wp);
    s.gone = msg == WM_NCDESTROY;
    return CallWindowProcW(s.original, hwnd, msg, wp, lp);
}
constexpr WNDPROC SPY_PROCS[] = {&spyProc<0>, &spyProc<1>, &spyProc<2>, &spyProc<3>};

LRESULT CALLBACK subclassOnCreation(int code, WPARAM wp, LPARAM lp) {
    const auto hwnd = reinterpret_cast<HWND>(wp);
    if (code == HCBT_CREATEWND && lstrcmpiW(windowClass(hwnd).c_str(), g_className) == 0) {
        if (g_used == g_spied.size()) {
            ADD_FAILURE() << "the spy's procedures ran out";
        } else {
            g_spied[g_used] = {
                hwnd,
                reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                    hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SPY_PROCS[g_used]))),
                SPY_PROCS[g_used]};
            ++g_used;
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

} // namespace

size_t Spied::seen(UINT msg, WPARAM wp) const {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), std::make_pair(msg, wp)));
}

std::vector<const Spied*> subclassWhile(const wchar_t* className,
                                        const std::function<void()>& make) {
    g_className = className;
    const size_t first = g_used;
    const HHOOK hook =
        SetWindowsHookExW(WH_CBT, &subclassOnCreation, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(hook);
    make();
    UnhookWindowsHookEx(hook);
    std::vector<const Spied*> made;
    for (size_t i = first; i < g_used; ++i) {
        made.push_back(&g_spied[i]);
    }
    return made;
}
