// Points one import of a loaded module at another function, so a test can
// watch what the module hands to Windows (and still call the real thing).
#pragma once

#include <windows.h>

// Replaces the module's import of `dll`!`name` (matched by name, the DLL
// name case-insensitively) with `replacement`. Returns the previous target,
// or null when the module does not import it.
void* patchImport(HMODULE module, const char* dll, const char* name, void* replacement);
