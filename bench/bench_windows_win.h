// Windows the benchmarks draw into: the host's window with one rectangle
// object, a bare window whose paint is the least any window can do, and the
// same paint in a window nested as a canvas's picture control is.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "base/dib_win.h"
#include "base/gdi_win.h"

namespace bench {

inline LRESULT CALLBACK plainWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(hwnd, msg, wp, lp);
}

inline ATOM registerBenchClass(const wchar_t* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassW(&wc);
}

// Runs the thread's messages until none is left.
inline void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The host's window with one rectangle object: a child window whose client
// area is w x h, as the host lays its objects out, at x, y of the screen.
class HostWindows {
  public:
    HostWindows(int x, int y, int w, int h) {
        static const ATOM cls = registerBenchClass(
            L"BenchHostWindow", &plainWindowProc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        (void)cls;
        main_ =
            CreateWindowExW(0, L"BenchHostWindow", L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            x, y, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        object_ = CreateWindowExW(0, L"BenchHostWindow", L"rect",
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  w, h, main_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindows() {
        if (main_) {
            DestroyWindow(main_);
        }
    }
    HostWindows(const HostWindows&) = delete;
    HostWindows& operator=(const HostWindows&) = delete;
    HWND object() const { return object_; }

  private:
    HWND main_ = nullptr;
    HWND object_ = nullptr;
};

// A window of w x h whose WM_PAINT is one BitBlt of its update rectangle
// from a 32-bit image of its own size: the floor of showing an image in a
// window. Top-level at x, y of the screen, or a child at x, y of `parent`.
class BareWindow {
  public:
    BareWindow(int x, int y, int w, int h, HWND parent = nullptr)
        : image_(nullptr, w, h, 32, RowOrder::BottomUp), pixels_(image_.bits() ? size_t(w) * h : 0),
          select_(source_.get(), image_.get()) {
        static const ATOM cls = registerBenchClass(L"BenchBareWindow", &paintProc, nullptr);
        (void)cls;
        // Written once, white as a new canvas: memory a section was never
        // written to is the system's one page of zeros, always in the cache,
        // and a blit from it is cheaper than from any image that holds
        // pixels (at 1920 x 1080, 0.9-1.1 ms against 1.5-1.7 ms).
        PatBlt(source_.get(), 0, 0, w, h, WHITENESS);
        GdiFlush();
        window_ =
            CreateWindowExW(0, L"BenchBareWindow", L"", (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE,
                            x, y, w, h, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(source_.get()));
        UpdateWindow(window_);
    }
    ~BareWindow() {
        if (window_) {
            DestroyWindow(window_);
        }
    }
    BareWindow(const BareWindow&) = delete;
    BareWindow& operator=(const BareWindow&) = delete;
    HWND window() const { return window_; }
    // Every pixel of the image written with `pixel`, as a plain store.
    void writeImage(uint32_t pixel) {
        auto* const p = reinterpret_cast<uint32_t*>(image_.bits());
        std::fill(p, p + pixels_, pixel);
    }

  private:
    static LRESULT CALLBACK paintProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg != WM_PAINT) {
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top,
               reinterpret_cast<HDC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), r.left, r.top,
               SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }

    DibSection image_;
    size_t pixels_;
    MemoryDC source_;
    ScopedSelect select_;
    HWND window_ = nullptr;
};

// The windows a canvas has, without the plug-in: the host's window and its
// object window, a child window in that (where the canvas window sits) and
// in it the bare window's paint (where the picture control sits), all of
// w x h at x, y of the screen.
class NestedWindows {
  public:
    NestedWindows(int x, int y, int w, int h)
        : host_(x, y, w, h),
          middle_(CreateWindowExW(0, L"BenchHostWindow", L"canvas", WS_CHILD | WS_VISIBLE, 0, 0, w,
                                  h, host_.object(), nullptr, GetModuleHandleW(nullptr), nullptr)),
          inner_(0, 0, w, h, middle_) {}
    NestedWindows(const NestedWindows&) = delete;
    NestedWindows& operator=(const NestedWindows&) = delete;
    HWND inner() const { return middle_ ? inner_.window() : nullptr; }
    BareWindow& innerWindow() { return inner_; }

  private:
    HostWindows host_;
    HWND middle_; // destroyed with the host's window
    BareWindow inner_;
};

} // namespace bench
