// Windows the benchmarks draw into: the host's window with one rectangle
// object, and a bare window whose paint is the least any window can do.
#pragma once

#include <windows.h>

#include <optional>

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

// A top-level window of w x h at x, y of the screen whose WM_PAINT is one
// BitBlt of its update rectangle from a 32-bit image of its own size: the
// floor of showing an image in a window.
class BareWindow {
  public:
    BareWindow(int x, int y, int w, int h) {
        static const ATOM cls = registerBenchClass(L"BenchBareWindow", &paintProc, nullptr);
        (void)cls;
        BITMAPINFO info{};
        info.bmiHeader = dibHeader(w, h, 32, RowOrder::BottomUp);
        void* bits = nullptr;
        image_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        select_.emplace(source_.get(), image_.get());
        window_ = CreateWindowExW(0, L"BenchBareWindow", L"", WS_POPUP | WS_VISIBLE, x, y, w, h,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
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

    GdiObject<HBITMAP> image_;
    MemoryDC source_;
    std::optional<ScopedSelect> select_;
    HWND window_ = nullptr;
};

} // namespace bench
