#include "tests/win/support/subclass_spy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace {

// One recording procedure, a distinct function per window as a host's
// thunks are, never handed out twice in a program.
struct Spied {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    bool gone = false;
    std::vector<std::pair<UINT, WPARAM>> calls; // for its own window
    size_t strays = 0;
};

constexpr size_t SPY_POOL = 8;
std::array<Spied, SPY_POOL> g_pool;
size_t g_used = 0;
std::wstring g_className;

template <size_t I> LRESULT CALLBACK spyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Spied& s = g_pool[I];
    if (hwnd != s.hwnd || s.gone) {
        ++s.strays;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    s.calls.emplace_back(msg, wp);
    s.gone = msg == WM_NCDESTROY;
    return CallWindowProcW(s.original, hwnd, msg, wp, lp);
}

template <size_t... I> constexpr std::array<WNDPROC, SPY_POOL> procs(std::index_sequence<I...>) {
    return {&spyProc<I>...};
}
constexpr std::array<WNDPROC, SPY_POOL> SPY_PROCS = procs(std::make_index_sequence<SPY_POOL>{});

} // namespace

SubclassSpy::SubclassSpy(const wchar_t* className) : first_(g_used) {
    g_className = className;
    hook_ = SetWindowsHookExW(WH_CBT, &hookProc, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(hook_);
}

void SubclassSpy::unhook() {
    if (hook_) {
        UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
}

LRESULT CALLBACK SubclassSpy::hookProc(int code, WPARAM wp, LPARAM lp) {
    wchar_t name[64] = {};
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wp), name, 64) &&
        lstrcmpiW(name, g_className.c_str()) == 0) {
        if (g_used == SPY_POOL) {
            ADD_FAILURE() << "the spy's procedures ran out";
        } else {
            Spied& s = g_pool[g_used];
            s.hwnd = reinterpret_cast<HWND>(wp);
            s.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                s.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SPY_PROCS[g_used++])));
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

std::vector<HWND> SubclassSpy::windows() const {
    std::vector<HWND> out;
    for (size_t i = first_; i < g_used; ++i) {
        out.push_back(g_pool[i].hwnd);
    }
    return out;
}

size_t SubclassSpy::seen(size_t i, UINT msg, std::optional<WPARAM> wp) const {
    const auto& calls = g_pool.at(first_ + i).calls;
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const auto& c) {
        return c.first == msg && (!wp || c.second == *wp);
    }));
}

size_t SubclassSpy::strays(size_t i) const {
    return g_pool.at(first_ + i).strays;
}
