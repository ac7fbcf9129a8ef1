// Owners of the USER and kernel handles the program makes itself: one
// alias each, naming the function that closes it. GDI objects and
// device contexts are in gdi_win.h.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

// An icon the program made itself (LoadImage without LR_SHARED,
// CreateIconIndirect), destroyed once. A shared icon, such as LoadIcon's,
// belongs to the system and must never be given to it.
using Icon = UniqueAny<HICON, &DestroyIcon>;

// A keyboard accelerator table made with CreateAcceleratorTable, destroyed
// once (one loaded from a resource is freed by the system).
using AcceleratorTable = UniqueAny<HACCEL, &DestroyAcceleratorTable>;

// A library loaded with LoadLibrary, freed once (the host's hold on a
// plug-in). Never held where its release would run under the loader lock:
// not in a static of a DLL, nor freed from its DllMain; the plug-in keeps
// the system DLLs it loads until the process ends.
using Module = UniqueAny<HMODULE, &FreeLibrary>;

// A GlobalAlloc block, freed once; `Pointer` is how it is read (HGLOBAL, or
// char* for a fixed block of text).
template <typename Pointer> using GlobalBlock = UniqueAny<Pointer, &GlobalFree>;
