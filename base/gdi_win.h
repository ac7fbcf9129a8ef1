// Scope owners for GDI and USER device handles: each acquire has its
// release in one destructor, and none can be copied (a copy would release
// twice).
#pragma once

#include <windows.h>

#include <utility>

// Owns one GDI object (bitmap, brush, font, region) and deletes it once.
template <typename H> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(H handle) : handle_(handle) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(other.release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    H get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    H release() {
        H h = handle_;
        handle_ = nullptr;
        return h;
    }
    void reset(H handle = nullptr) {
        if (handle_) {
            DeleteObject(handle_);
        }
        handle_ = handle;
    }

  private:
    H handle_ = nullptr;
};

// A memory device context, deleted on scope exit. A moved-from one is
// empty and deletes nothing.
class MemoryDC {
  public:
    // Null (test with operator bool) when no context could be made.
    explicit MemoryDC(HDC compatible = nullptr) : dc_(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() { reset(); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&& other) noexcept {
        if (this != &other) {
            reset();
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    void reset() {
        if (dc_) {
            DeleteDC(dc_);
            dc_ = nullptr;
        }
    }

    HDC dc_;
};

// Puts back, on scope exit, the object of one kind (bitmap, brush, font,
// pen) that a device context held before. Not for regions: SelectObject
// answers those with a complexity, not the region displaced. A
// default-constructed or moved-from one restores nothing.
class ScopedSelect {
  public:
    ScopedSelect() = default;
    // Selects `obj` into `dc`; the object it displaces comes back on exit
    // (nothing does when the selection failed).
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    // Selects nothing now but puts back, on exit, the object of `kind`
    // (OBJ_BITMAP, OBJ_FONT, ...) that `dc` holds now: for a device
    // context into which a caller selects several objects in turn.
    static ScopedSelect keepCurrent(HDC dc, UINT kind) {
        ScopedSelect keeper;
        keeper.dc_ = dc;
        keeper.old_ = GetCurrentObject(dc, kind);
        return keeper;
    }
    ~ScopedSelect() { restore(); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ScopedSelect(ScopedSelect&& other) noexcept
        : dc_(other.dc_), old_(std::exchange(other.old_, nullptr)) {}
    ScopedSelect& operator=(ScopedSelect&& other) noexcept {
        if (this != &other) {
            restore();
            dc_ = other.dc_;
            old_ = std::exchange(other.old_, nullptr);
        }
        return *this;
    }

  private:
    void restore() {
        if (old_ && old_ != HGDI_ERROR) {
            SelectObject(dc_, old_);
        }
        old_ = nullptr;
    }

    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// A window's device context for the scope: the client area (GetDC) or the
// whole window with its frame (GetWindowDC).
class WindowDC {
  public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~WindowDC() {
        if (dc_) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// The screen's device context for the scope (GetDC of the null window).
class ScreenDC {
  public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (dc_) {
            ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};
