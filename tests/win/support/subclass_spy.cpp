#include "tests/win/support/subclass_spy.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

namespace {

// One recording procedure: a distinct function per window, as a host's
// thunks are, and never handed out twice in a program.
struct Spied {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    bool gone = false;
    std::vector<SubclassSpy::Call> calls;
    size_t strays = 0;
};

constexpr size_t SPY_POOL = 8;
std::array<Spied, SPY_POOL> g_pool;
size_t g_used = 0;
std::wstring g_className;

LRESULT record(size_t i, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Spied& s = g_pool[i];
    s.calls.push_back(SubclassSpy::Call{hwnd, msg, wp});
    if (hwnd != s.hwnd || s.gone) {
        ++s.strays;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    const LRESULT result = CallWindowProcW(s.original, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        s.gone = true;
    }
    return result;
}

template <size_t I> LRESULT CALLBACK spyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return record(I, hwnd, msg, wp, lp);
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

SubclassSpy::~SubclassSpy() {
    unhook();
}

void SubclassSpy::unhook() {
    if (hook_) {
        UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
}

LRESULT CALLBACK SubclassSpy::hookProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (lstrcmpiW(name, g_className.c_str()) == 0) {
            if (g_used < SPY_POOL) {
                Spied& s = g_pool[g_used];
                s.hwnd = hwnd;
                s.original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
                    hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SPY_PROCS[g_used])));
                ++g_used;
            } else {
                ADD_FAILURE() << "the spy's procedures ran out";
            }
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

const std::vector<SubclassSpy::Call>& SubclassSpy::calls(size_t i) const {
    return g_pool.at(first_ + i).calls;
}

size_t SubclassSpy::seen(size_t i, UINT msg, std::optional<WPARAM> wp) const {
    size_t n = 0;
    for (const Call& c : calls(i)) {
        n += c.hwnd == g_pool.at(first_ + i).hwnd && c.msg == msg && (!wp || c.wp == *wp);
    }
    return n;
}

size_t SubclassSpy::strays(size_t i) const {
    return g_pool.at(first_ + i).strays;
}
