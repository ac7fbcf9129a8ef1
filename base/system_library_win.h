// System DLLs loaded at run time. Named bare, a DLL is looked for in the
// host's folder first, where any file of that name would be taken for it;
// so a system DLL is named by its full path in the system directory (which
// Windows redirects to the 32-bit one for a 32-bit process).
#pragma once

#include <windows.h>

#include <cwchar>

// Loads the system DLL `name` (such as L"msimg32.dll") from the system
// directory, and only from there. The reference is the caller's; null when
// the DLL is not there or the path does not fit. Never under the loader
// lock.
inline HMODULE loadSystemLibrary(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const size_t folder = GetSystemDirectoryW(path, MAX_PATH);
    const size_t length = std::wcslen(name);
    if (folder == 0 || folder + 1 + length >= MAX_PATH) {
        return nullptr;
    }
    path[folder] = L'\\';
    std::wmemcpy(path + folder + 1, name, length + 1);
    return LoadLibraryW(path);
}
