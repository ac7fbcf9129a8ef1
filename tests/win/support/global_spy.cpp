#include "tests/win/support/global_spy.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/win/support/import_patch.h"

namespace {

GlobalSpy* g_spy = nullptr;
decltype(&GlobalAlloc) g_realAlloc = nullptr;
decltype(&GlobalFree) g_realFree = nullptr;

HGLOBAL WINAPI spyAlloc(UINT flags, SIZE_T bytes) {
    HGLOBAL block = g_realAlloc(flags, bytes);
    if (g_spy && block) {
        g_spy->allocated.push_back(block);
    }
    return block;
}

HGLOBAL WINAPI spyFree(HGLOBAL block) {
    if (g_spy) {
        g_spy->freed.push_back(block);
    }
    return g_realFree(block);
}

} // namespace

GlobalSpy::GlobalSpy(HMODULE module) : module_(module) {
    if (g_spy) {
        ADD_FAILURE() << "another GlobalSpy is active";
        return;
    }
    // A function the module does not import stays unpatched: nothing to restore.
    g_realAlloc = reinterpret_cast<decltype(&GlobalAlloc)>(
        patchImport(module, "kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(&spyAlloc)));
    g_realFree = reinterpret_cast<decltype(&GlobalFree)>(
        patchImport(module, "kernel32.dll", "GlobalFree", reinterpret_cast<void*>(&spyFree)));
    ok_ = g_realAlloc && g_realFree;
    EXPECT_TRUE(ok_) << "cannot patch GlobalAlloc and GlobalFree";
    g_spy = this;
}

GlobalSpy::~GlobalSpy() {
    if (g_spy != this) {
        return;
    }
    if (!unloading_ && g_realAlloc) {
        patchImport(module_, "kernel32.dll", "GlobalAlloc", reinterpret_cast<void*>(g_realAlloc));
    }
    if (!unloading_ && g_realFree) {
        patchImport(module_, "kernel32.dll", "GlobalFree", reinterpret_cast<void*>(g_realFree));
    }
    g_spy = nullptr;
}

int GlobalSpy::timesFreed(const void* block) const {
    return static_cast<int>(std::count(freed.begin(), freed.end(), block));
}
