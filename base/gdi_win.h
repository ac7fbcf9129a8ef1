// Owners of GDI objects and device contexts, and of the selections made
// into them: aliases of the one owner template with their close policies.
// Each acquire has its release in one place, and none can be copied (a copy
// would release twice).
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

// Owns one GDI object (bitmap, brush, font, pen, region) and deletes it once.
template <typename H> using GdiObject = UniqueAny<H, &DeleteObject>;

// A memory device context, deleted on scope exit. A moved-from one is
// empty and deletes nothing.
class MemoryDC : public UniqueAny<HDC, &DeleteDC> {
  public:
    // Null (test with operator bool) when no context could be made.
    explicit MemoryDC(HDC compatible = nullptr) : UniqueHandle(CreateCompatibleDC(compatible)) {}
};

// Puts a displaced object back into the device context it came out of.
struct RestoreSelection {
    HDC dc = nullptr;
    void operator()(HGDIOBJ displaced) const { SelectObject(dc, displaced); }
};

// Puts back, on scope exit, the object of one kind (bitmap, brush, font,
// pen) that a device context held before. Not for regions: SelectObject
// answers those with a complexity, not the region displaced. A
// default-constructed or moved-from one restores nothing.
class ScopedSelect : public UniqueHandle<HGDIOBJ, RestoreSelection> {
  public:
    ScopedSelect() = default;
    // Selects `obj` into `dc`; the object it displaces comes back on exit
    // (nothing does when the selection failed).
    ScopedSelect(HDC dc, HGDIOBJ obj) : ScopedSelect(dc, SelectObject(dc, obj), Keep()) {}
    // Selects nothing now but puts back, on exit, the object of `kind`
    // (OBJ_BITMAP, OBJ_FONT, ...) that `dc` holds now: for a device
    // context into which a caller selects several objects in turn.
    static ScopedSelect keepCurrent(HDC dc, UINT kind) {
        return ScopedSelect(dc, GetCurrentObject(dc, kind), Keep());
    }

  private:
    struct Keep {};
    ScopedSelect(HDC dc, HGDIOBJ displaced, Keep)
        : UniqueHandle(displaced == HGDI_ERROR ? nullptr : displaced, RestoreSelection{dc}) {}
};

// Gives a device context back to the window it was taken from (null: the
// screen).
struct CloseWindowDC {
    HWND window = nullptr;
    void operator()(HDC dc) const { ReleaseDC(window, dc); }
};

// A window's device context for the scope: the client area (GetDC) or the
// whole window with its frame (GetWindowDC).
class WindowDC : public UniqueHandle<HDC, CloseWindowDC> {
  public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : UniqueHandle(wholeWindow ? GetWindowDC(window) : GetDC(window), CloseWindowDC{window}) {}
};

// The screen's device context for the scope (GetDC of the null window).
class ScreenDC : public WindowDC {
  public:
    ScreenDC() : WindowDC(nullptr) {}
};
