// The window classes: each toolkit window has a class of its own, named for
// its number, which goes when the window goes. A class cannot be
// unregistered while its window is still in WM_NCDESTROY, so the classes of
// destroyed windows wait in a list for the next chance.
#include "ui/toolkit_internal_win.h"

#include <new>
#include <vector>

#include "base/no_destroy.h"

namespace {

const wchar_t* const UI_CLASS_PREFIX = L"WindowClass_";
// How many names a number tries when the classes of earlier names are
// still held by windows that outlived an earlier toolkit.
constexpr int UI_CLASS_NAME_TRIES = 8;

// Classes of destroyed windows, still registered.
NoDestroy<std::vector<std::wstring>> g_staleClasses;

} // namespace

std::wstring ui::windowClassName(int number) {
    return UI_CLASS_PREFIX + std::to_wstring(number);
}

std::wstring ui::registerWindowClass(int number) {
    flushStaleClasses(); // a reused number's old class must go before it is registered again
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &windowProc;
    wc.hInstance = module();
    wc.hIcon = defaultIcon();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW); // shared: never destroyed
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    std::wstring name = windowClassName(number);
    for (int tries = 0; tries < UI_CLASS_NAME_TRIES; ++tries) {
        wc.lpszClassName = name.c_str();
        if (RegisterClassExW(&wc)) {
            return name;
        }
        if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return std::wstring();
        }
        // A class whose window a thread could not destroy (an unload from
        // another thread) lost its procedure with it: gone once that window
        // is, else the number takes another name.
        WNDCLASSEXW found{};
        found.cbSize = sizeof(found);
        if (GetClassInfoExW(module(), name.c_str(), &found) && found.lpfnWndProc == &windowProc) {
            return name;
        }
        if (UnregisterClassW(name.c_str(), module()) && RegisterClassExW(&wc)) {
            return name;
        }
        name = windowClassName(number) + L"." + std::to_wstring(tries + 1);
    }
    return std::wstring();
}

void ui::unregisterWindowClass(const std::wstring& name) {
    UnregisterClassW(name.c_str(), module());
}

void ui::retireWindowClass(const std::wstring& name) {
    try {
        g_staleClasses->push_back(name);
    } catch (const std::bad_alloc&) {
        // the class stays registered until the process ends; harmless
    }
}

void ui::flushStaleClasses() {
    std::vector<std::wstring> keep;
    for (const std::wstring& name : *g_staleClasses) {
        if (!UnregisterClassW(name.c_str(), module()) &&
            GetLastError() == ERROR_CLASS_HAS_WINDOWS) {
            keep.push_back(name);
        }
    }
    g_staleClasses->swap(keep);
}

void ui::forgetStaleClasses() {
    flushStaleClasses();
    g_staleClasses.destroy();
}
