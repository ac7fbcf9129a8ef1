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

// Classes of destroyed windows, still registered.
NoDestroy<std::vector<std::wstring>> g_staleClasses;

} // namespace

std::wstring ui::windowClassName(int number) {
    return UI_CLASS_PREFIX + std::to_wstring(number);
}

bool ui::registerWindowClass(const std::wstring& name) {
    flushStaleClasses(); // a reused number's old class must go before it is registered again
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &windowProc;
    wc.hInstance = module();
    wc.hIcon = defaultIcon();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW); // shared: never destroyed
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = name.c_str();
    // A class left registered because its window could not be destroyed
    // (another thread's) is ours too, and serves as well.
    return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void ui::unregisterWindowClass(const std::wstring& name) {
    UnregisterClassW(name.c_str(), module());
}

void ui::retireWindowClass(int number) {
    try {
        g_staleClasses->push_back(windowClassName(number));
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
