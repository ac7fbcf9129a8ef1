// Watches the device contexts this program and every .nbp it loads hold, and each
// DeleteObject they make, through their import tables. Windows refuses to delete a font,
// bitmap, brush or pen while it is selected into a device context: DeleteObject returns
// FALSE and the object stays for good, a handle lost each time. Wine deletes it once it is
// deselected, so only a watch on the calls shows the fault here.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <sstream>
#include <string>
#include <vector>

#include "tests/win/support/import_patch.h"
#include "tests/win/support/ui_driver.h"

namespace {

// What the watch holds. Never destroyed: the plug-in still calls in while the process ends.
// Nothing is allocated until a fault is found: test_badinput fails allocations on demand.
struct Watch {
    HDC held[4096]; // taken and not yet given back, by any watched module; far more than held
    size_t holding = 0, taken = 0, found = 0;
    std::vector<std::string> first; // the first few faults, said at the end
};
Watch& watch() {
    static Watch* const w = new Watch;
    return *w;
}

template <typename F> F real(F spy);

HDC took(HDC dc) {
    Watch& w = watch();
    if (dc && w.holding < std::size(w.held)) {
        w.held[w.holding++] = dc;
        ++w.taken;
    }
    return dc;
}

void gave(HDC dc) {
    Watch& w = watch();
    HDC* const end = w.held + w.holding;
    HDC* const at = std::find(w.held, end, dc);
    if (at != end) {
        *at = end[-1];
        --w.holding;
    }
}

// Notes `object` when it is the current object of its kind in a device context held now,
// with the test, the context and where the call came from (module+offset, for addr2line).
void noteIfSelected(HGDIOBJ object, const char* caller) {
    const DWORD type = GetObjectType(object);
    const char* const kind = type == OBJ_FONT                        ? "font"
                             : type == OBJ_BITMAP                    ? "bitmap"
                             : type == OBJ_BRUSH                     ? "brush"
                             : type == OBJ_PEN || type == OBJ_EXTPEN ? "pen"
                                                                     : nullptr;
    Watch& w = watch();
    const HDC* const dc = std::find_if(w.held, w.held + w.holding, [&](HDC held) {
        return kind && GetCurrentObject(held, type == OBJ_EXTPEN ? OBJ_PEN : type) == object;
    });
    if (dc == w.held + w.holding || w.found++ >= 10) {
        return;
    }
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       caller, &module);
    char path[MAX_PATH] = "\\?";
    GetModuleFileNameA(module, path, MAX_PATH);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::ostringstream line;
    line << (test ? std::string(test->test_suite_name()) + "." + test->name() : "no test")
         << ": DeleteObject of " << kind << " " << object << ", selected into DC " << *dc
         << ", from " << std::strrchr(path, '\\') + 1 << "+0x" << std::hex
         << caller - reinterpret_cast<const char*>(module);
    w.first.push_back(line.str());
}

HDC WINAPI spyCreateCompatibleDC(HDC dc) {
    return took(real(&spyCreateCompatibleDC)(dc));
}
HDC WINAPI spyCreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* mode) {
    return took(real(&spyCreateDCW)(driver, device, port, mode));
}
HDC WINAPI spyGetDC(HWND window) {
    return took(real(&spyGetDC)(window));
}
HDC WINAPI spyBeginPaint(HWND window, PAINTSTRUCT* paint) {
    return took(real(&spyBeginPaint)(window, paint));
}
BOOL WINAPI spyDeleteDC(HDC dc) {
    gave(dc);
    return real(&spyDeleteDC)(dc);
}
int WINAPI spyReleaseDC(HWND window, HDC dc) {
    gave(dc);
    return real(&spyReleaseDC)(window, dc);
}
BOOL WINAPI spyEndPaint(HWND window, const PAINTSTRUCT* paint) {
    gave(paint ? paint->hdc : nullptr);
    return real(&spyEndPaint)(window, paint);
}
BOOL WINAPI spyDeleteObject(HGDIOBJ object) {
    noteIfSelected(object, static_cast<const char*>(__builtin_return_address(0)));
    return real(&spyDeleteObject)(object);
}
HMODULE WINAPI spyLoadLibraryW(LPCWSTR path);

struct Hook {
    const char* dll;
    const char* name;
    void* spy;
    void* real = nullptr; // found by name in the DLL, never through a patched table
};
Hook g_hooks[] = {
    {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(&spyCreateCompatibleDC)},
    {"gdi32.dll", "CreateDCW", reinterpret_cast<void*>(&spyCreateDCW)},
    {"user32.dll", "GetDC", reinterpret_cast<void*>(&spyGetDC)},
    {"user32.dll", "BeginPaint", reinterpret_cast<void*>(&spyBeginPaint)},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<void*>(&spyDeleteDC)},
    {"user32.dll", "ReleaseDC", reinterpret_cast<void*>(&spyReleaseDC)},
    {"user32.dll", "EndPaint", reinterpret_cast<void*>(&spyEndPaint)},
    {"gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&spyDeleteObject)},
    {"kernel32.dll", "LoadLibraryW", reinterpret_cast<void*>(&spyLoadLibraryW)},
};

template <typename F> F real(F spy) {
    for (const Hook& h : g_hooks) {
        if (h.spy == reinterpret_cast<void*>(spy)) {
            return reinterpret_cast<F>(h.real);
        }
    }
    return nullptr;
}

// Only the functions the module imports are patched; its table goes when it unloads.
void patchAll(HMODULE module) {
    for (const Hook& h : g_hooks) {
        patchImport(module, h.dll, h.name, h.spy);
    }
}

HMODULE WINAPI spyLoadLibraryW(LPCWSTR path) {
    const HMODULE module = real(&spyLoadLibraryW)(path);
    const size_t length = path ? std::wcslen(path) : 0;
    if (module && length >= 4 && _wcsicmp(path + length - 4, L".nbp") == 0) {
        patchAll(module);
    }
    return module;
}

void startGdiSpy() {
    watch(); // made now, not in a call made while allocations fail
    for (Hook& h : g_hooks) {
        h.real = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(h.dll), h.name));
    }
    patchAll(GetModuleHandleW(nullptr)); // its LoadLibraryW too: every .nbp loaded from now on
}

void checkGdiSpy() {
    const Watch& w = watch();
    EXPECT_GT(w.taken, 0u) << "the GDI spy saw no device context taken: it watches nothing";
    for (const std::string& line : w.first) {
        ADD_FAILURE() << line;
    }
    EXPECT_EQ(w.found, 0u) << "objects deleted while selected into a device context";
}

} // namespace

bool watchGdiAroundAllTests() {
    return aroundAllTests(&startGdiSpy, &checkGdiSpy);
}
