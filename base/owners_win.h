// Owners of the USER and kernel handles the program makes itself: aliases
// of the one owner template with their close policies. GDI objects and
// device contexts are in gdi_win.h.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

struct CloseIcon {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

// An icon the program made itself (LoadImage without LR_SHARED,
// CreateIconIndirect), destroyed once. A shared icon, such as LoadIcon's,
// belongs to the system and must never be given to it.
using Icon = UniqueHandle<HICON, CloseIcon>;

struct CloseAcceleratorTable {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};

// A keyboard accelerator table made with CreateAcceleratorTable, destroyed
// once (one loaded from a resource is freed by the system).
using AcceleratorTable = UniqueHandle<HACCEL, CloseAcceleratorTable>;

struct CloseModule {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

// A library loaded with LoadLibrary, freed once. Never held where its
// release would run under the loader lock (a plain static, destroyed at
// DLL_PROCESS_DETACH): a global one lives in a NoDestroy and is freed by a
// shut-down call.
using Module = UniqueHandle<HMODULE, CloseModule>;

struct CloseGlobal {
    void operator()(void* block) const { GlobalFree(block); }
};

// A GlobalAlloc block, freed once; `Pointer` is how it is read (HGLOBAL, or
// char* for a fixed block of text).
template <typename Pointer> using GlobalBlock = UniqueHandle<Pointer, CloseGlobal>;
