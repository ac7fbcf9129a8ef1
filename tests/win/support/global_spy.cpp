#include "tests/win/support/global_spy.h"

#include <algorithm>
#include <cstring>

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

// Points the module's import of kernel32!`name` at `replacement`; returns the
// previous target, or null when the module does not import it.
void* patchImport(HMODULE module, const char* name, void* replacement) {
    auto base = reinterpret_cast<BYTE*>(module);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) {
        return nullptr;
    }
    for (auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name; ++desc) {
        if (_stricmp(reinterpret_cast<char*>(base + desc->Name), "kernel32.dll") != 0) {
            continue;
        }
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) {
                continue;
            }
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return previous;
        }
    }
    return nullptr;
}

} // namespace

GlobalSpy::GlobalSpy(HMODULE module) : module_(module) {
    if (g_spy) {
        return;
    }
    void* alloc = patchImport(module, "GlobalAlloc", reinterpret_cast<void*>(&spyAlloc));
    void* free = patchImport(module, "GlobalFree", reinterpret_cast<void*>(&spyFree));
    if (alloc) {
        g_realAlloc = reinterpret_cast<decltype(&GlobalAlloc)>(alloc);
    }
    if (free) {
        g_realFree = reinterpret_cast<decltype(&GlobalFree)>(free);
    }
    ok_ = alloc && free;
    g_spy = this;
}

GlobalSpy::~GlobalSpy() {
    if (g_spy != this) {
        return;
    }
    if (unloading_) {
        g_spy = nullptr;
        return;
    }
    if (g_realAlloc) {
        patchImport(module_, "GlobalAlloc", reinterpret_cast<void*>(g_realAlloc));
    }
    if (g_realFree) {
        patchImport(module_, "GlobalFree", reinterpret_cast<void*>(g_realFree));
    }
    g_spy = nullptr;
}

int GlobalSpy::timesFreed(const void* block) const {
    return static_cast<int>(std::count(freed.begin(), freed.end(), block));
}
