#include "draw/picture_win.h"

#include <windowsx.h>

#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "draw/image_win.h"
#include "draw/premultiply.h"
#include "base/gdi_win.h"
#include "base/handle_win.h"

namespace {

//--- Types

// The premultiplied copy a picture control paints from: a 32-bit bottom-up
// DIB section, kept selected in a memory device context of its own so that
// a paint is a single blit. Both go together, the context first (a bitmap
// still selected somewhere cannot be deleted).
class PaintCopy {
  public:
    PaintCopy() = default;
    ~PaintCopy() { reset(); }
    PaintCopy(const PaintCopy&) = delete;
    PaintCopy& operator=(const PaintCopy&) = delete;

    // A fresh width x height section; false (and no copy) when it cannot be
    // made.
    bool make(int width, int height) {
        reset();
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        GdiObject<HBITMAP> bitmap(
            CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap || !bits) {
            return false;
        }
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_) {
            return false;
        }
        bitmap_ = bitmap.release();
        before_ = SelectObject(dc_, bitmap_);
        bits_ = static_cast<uint8_t*>(bits);
        size_ = SIZE{width, height};
        return true;
    }
    void reset() {
        if (dc_) {
            SelectObject(dc_, before_);
            DeleteDC(dc_);
        }
        if (bitmap_) {
            DeleteObject(bitmap_);
        }
        dc_ = nullptr;
        bitmap_ = nullptr;
        before_ = nullptr;
        bits_ = nullptr;
        size_ = SIZE{};
        opaque = false;
    }
    explicit operator bool() const { return bitmap_ != nullptr; }
    HDC dc() const { return dc_; }
    uint8_t* bits() const { return bits_; }
    SIZE size() const { return size_; }

    // Every pixel has alpha 255 (always so for a canvas): the copy is
    // painted with BitBlt, which gives the very pixels AlphaBlend would, and
    // it hides whatever lies under the control as a plain bitmap does.
    bool opaque = false;

  private:
    HBITMAP bitmap_ = nullptr; // owned
    HDC dc_ = nullptr;         // owned, with bitmap_ selected
    HGDIOBJ before_ = nullptr; // what dc_ held before
    uint8_t* bits_ = nullptr;  // bitmap_'s pixels, bottom-up rows
    SIZE size_{};
};

struct PictureState {
    HBITMAP shown = nullptr; // not owned: the image (or icon) last assigned
    PaintCopy copy;          // premultiplied copy of `shown`, taken at the last assignment
    bool buttonDown = false; // left button pressed here, no drag yet
    POINT downAt{};          // where it was pressed (client coordinates)
    bool afterRightDoubleClick = false; // the next right release posts nothing
};

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

//--- Globals

HMODULE g_msimg32 = nullptr; // owned: freed by draw::pictureShutdown
AlphaBlendFn g_alphaBlend = nullptr;
// The system Static procedure behind every picture control.
WNDPROC g_staticProc = nullptr;
// Drag thresholds, read once with the class descriptor.
int g_dragX = 0;
int g_dragY = 0;

//--- Images

bool isBitmap(HANDLE h) {
    return h && GetObjectType(h) == OBJ_BITMAP;
}

// An image that needs alpha blending: a 32-bit DIB section, or a 32-bit
// device-dependent bitmap with some non-zero alpha. Only when AlphaBlend is
// there to paint it.
bool isAlphaImage(HBITMAP h) {
    if (!g_alphaBlend || !isBitmap(h)) {
        return false;
    }
    DIBSECTION ds{};
    const int got = GetObjectW(h, sizeof(ds), &ds);
    if (got == static_cast<int>(sizeof(DIBSECTION))) {
        return ds.dsBm.bmBitsPixel == 32;
    }
    if (got < static_cast<int>(sizeof(BITMAP)) || ds.dsBm.bmBitsPixel != 32 ||
        ds.dsBm.bmWidth <= 0 || ds.dsBm.bmHeight <= 0) {
        return false;
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = ds.dsBm.bmWidth;
    bi.bmiHeader.biHeight = ds.dsBm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(ds.dsBm.bmWidth) * ds.dsBm.bmHeight);
    } catch (const std::bad_alloc&) {
        return false;
    }
    MemoryDC dc;
    if (!GetDIBits(dc.get(), h, 0, ds.dsBm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS)) {
        return false;
    }
    for (uint32_t p : pixels) {
        if (p > 0x00FFFFFF) {
            return true;
        }
    }
    return false;
}

// Makes `st.copy` hold the pixels of `source`, each colour byte of a pixel
// whose alpha is not 255 multiplied by that alpha. Opaque pixels are copied
// unchanged, so a canvas image is copied exactly. The section of the
// previous copy is reused when the size is the same: a canvas is assigned
// again after every action, and a fresh section costs a page fault for
// every 4 KB the copy writes. A 32-bit image of the image table (a canvas)
// is read straight from its memory, in the same pass that checks alpha;
// anything else is copied by GetDIBits (the memory of other DIB sections
// does not tell whether their rows run top-down or bottom-up). Leaves no
// copy when one cannot be made.
void takeCopy(PictureState& st, HBITMAP source) {
    BITMAP bm{};
    if (!GetObjectW(source, sizeof(bm), &bm) || bm.bmWidth <= 0 || bm.bmHeight == 0) {
        st.copy.reset();
        return;
    }
    const int width = bm.bmWidth;
    const int height = std::abs(bm.bmHeight);
    if (!st.copy || st.copy.size().cx != width || st.copy.size().cy != height) {
        if (!st.copy.make(width, height)) {
            return;
        }
    }
    uint8_t* const to = st.copy.bits();
    const size_t pixels = static_cast<size_t>(width) * height;
    DIBSECTION ds{};
    if (draw::isTableImage(source) &&
        GetObjectW(source, sizeof(ds), &ds) == static_cast<int>(sizeof(ds)) && ds.dsBm.bmBits &&
        ds.dsBm.bmBitsPixel == 32 && ds.dsBmih.biCompression == BI_RGB &&
        ds.dsBm.bmWidthBytes == width * 4) {
        GdiFlush(); // what GDI may still hold back goes into the memory first
        st.copy.opaque =
            draw::premultiplyPixels(to, static_cast<const uint8_t*>(ds.dsBm.bmBits), pixels);
        return;
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(st.copy.dc(), source, 0, static_cast<UINT>(height), to, &bi, DIB_RGB_COLORS) !=
        height) {
        st.copy.reset();
        return;
    }
    st.copy.opaque = draw::premultiplyPixels(to, to, pixels);
}

// Width and height of a bitmap, or of an icon's colour bitmap.
bool imageSize(HANDLE h, SIZE* size) {
    if (isBitmap(h)) {
        BITMAP bm{};
        if (!GetObjectW(h, sizeof(bm), &bm)) {
            return false;
        }
        *size = SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
        return true;
    }
    ICONINFO info{};
    if (!GetIconInfo(static_cast<HICON>(h), &info)) {
        return false;
    }
    GdiObject<HBITMAP> colour(info.hbmColor);
    GdiObject<HBITMAP> mask(info.hbmMask);
    BITMAP bm{};
    if (colour) {
        GetObjectW(colour.get(), sizeof(bm), &bm);
        *size = SIZE{bm.bmWidth, bm.bmHeight};
    } else { // monochrome icon: AND and XOR masks stacked
        GetObjectW(mask.get(), sizeof(bm), &bm);
        *size = SIZE{bm.bmWidth, bm.bmHeight / 2};
    }
    return true;
}

//--- Window procedure

PictureState* stateOf(HWND hwnd) {
    return static_cast<PictureState*>(ui::controlState(hwnd));
}

void postPictureEvent(HWND hwnd, int32_t type) {
    const int control = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    int window = 0;
    if (control != -1 && ui::windowNumberOf(hwnd, &window)) {
        ui::postEvent(UiEvent{UI_EVENT_CONTROL, control, window, type});
    }
}

// Repaints the toolkit window's background under the control at once, so
// that an image with transparent parts (or none at all) is shown over a
// fresh background. A bitmap painted without a copy, or from a copy that is
// opaque everywhere, covers it anyway.
void updateParent(HWND hwnd, const PictureState& st) {
    if (isBitmap(st.shown) && (!st.copy || st.copy.opaque)) {
        return;
    }
    HWND owner = ui::toolkitWindowOf(GetAncestor(hwnd, GA_PARENT));
    if (!owner) {
        return;
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(owner, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

HANDLE setImage(HWND hwnd, PictureState& st, HANDLE image) {
    st.shown = static_cast<HBITMAP>(image);
    const bool alpha = image && isAlphaImage(st.shown);
    if (alpha) {
        takeCopy(st, st.shown);
    } else {
        st.copy.reset();
    }
    updateParent(hwnd, st);
    SIZE size{};
    if (image && imageSize(image, &size)) {
        if ((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ||
            (GetWindowLongW(hwnd, GWL_STYLE) & WS_DLGFRAME)) {
            size.cx += 4;
            size.cy += 4;
        }
        // Canvases are assigned the same image again after every action: a
        // control already of that size is left alone (even a resize to the
        // same size sends messages and goes through the window system).
        RECT now{};
        GetWindowRect(hwnd, &now);
        if (now.right - now.left != size.cx || now.bottom - now.top != size.cy) {
            SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy,
                         SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
        }
    }
    if (image && !alpha) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
    }
    return image;
}

bool equalsNoCase(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// Tool bars and status bars next to the control are never painted over.
void excludeBars(HWND hwnd, HDC dc) {
    HWND parent = GetParent(hwnd);
    if (!parent) {
        return;
    }
    for (HWND s = GetWindow(parent, GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
        if (s == hwnd || !IsWindowVisible(s)) {
            continue;
        }
        wchar_t name[32] = {};
        GetClassNameW(s, name, 32);
        if (equalsNoCase(name, L"ToolbarWindow32") || equalsNoCase(name, L"msctls_statusbar32")) {
            RECT r{};
            GetWindowRect(s, &r);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
            ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
        }
    }
}

// Every paint is one blit of the copy (or DrawStateW of the image when
// there is none): the live image is never read here.
void paint(HWND hwnd, HDC dc, const PictureState& st) {
    if (!dc) {
        return;
    }
    GdiObject<HRGN> saved(CreateRectRgn(0, 0, 0, 0));
    const bool hadClip = saved && GetClipRgn(dc, saved.get()) == 1;
    excludeBars(hwnd, dc);
    if (st.shown) {
        const int at = (GetWindowLongW(hwnd, GWL_STYLE) & WS_DLGFRAME) ? -1 : 0;
        if (st.copy && g_alphaBlend) {
            const SIZE size = st.copy.size();
            if (st.copy.opaque) {
                // Over opaque pixels AlphaBlend gives the source itself, and
                // costs dozens of plain blits under some GDI implementations.
                BitBlt(dc, at, at, size.cx, size.cy, st.copy.dc(), 0, 0, SRCCOPY);
            } else {
                const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
                g_alphaBlend(dc, at, at, size.cx, size.cy, st.copy.dc(), 0, 0, size.cx, size.cy,
                             blend);
            }
        } else {
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(st.shown), 0, at, at, 0, 0,
                       isBitmap(st.shown) ? DST_BITMAP : DST_ICON);
        }
    }
    SelectClipRgn(dc, hadClip ? saved.get() : nullptr);
}

LRESULT callStatic(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return g_staticProc ? CallWindowProcW(g_staticProc, hwnd, msg, wp, lp)
                        : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK pictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    PictureState* st = stateOf(hwnd);
    if (!st) { // not (or no longer) filed with the toolkit
        return callStatic(hwnd, msg, wp, lp);
    }
    switch (msg) {
    case STM_SETIMAGE:
        return reinterpret_cast<LRESULT>(setImage(hwnd, *st, reinterpret_cast<HANDLE>(lp)));
    case STM_SETICON:
        return reinterpret_cast<LRESULT>(setImage(hwnd, *st, reinterpret_cast<HANDLE>(wp)));
    case STM_GETIMAGE:
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(st->shown);
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        paint(hwnd, dc, *st);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT:
        paint(hwnd, reinterpret_cast<HDC>(wp), *st);
        return 0;
    case WM_MOVE:
        updateParent(hwnd, *st);
        break;
    case WM_LBUTTONDOWN:
        st->buttonDown = true;
        st->downAt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        SetCapture(hwnd);
        break;
    case WM_MOUSEMOVE:
        if (st->buttonDown && (std::abs(GET_X_LPARAM(lp) - st->downAt.x) > g_dragX ||
                               std::abs(GET_Y_LPARAM(lp) - st->downAt.y) > g_dragY)) {
            st->buttonDown = false;
            ReleaseCapture();
            postPictureEvent(hwnd, PICTURE_EVENT_DRAG_START);
        }
        break;
    case WM_LBUTTONUP:
        if (st->buttonDown) {
            st->buttonDown = false;
            ReleaseCapture();
        }
        break;
    case WM_LBUTTONDBLCLK:
        postPictureEvent(hwnd, PICTURE_EVENT_DOUBLE_CLICK);
        return 0;
    case WM_RBUTTONUP:
        if (st->afterRightDoubleClick) {
            st->afterRightDoubleClick = false;
        } else {
            postPictureEvent(hwnd, PICTURE_EVENT_RIGHT_CLICK);
        }
        return 0;
    case WM_RBUTTONDBLCLK:
        postPictureEvent(hwnd, PICTURE_EVENT_RIGHT_DOUBLE_CLICK);
        st->afterRightDoubleClick = true;
        return 0;
    case WM_ENABLE:
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    default:
        break;
    }
    return callStatic(hwnd, msg, wp, lp);
}

//--- Class descriptor

HBITMAP bitmapFromState(int64_t value) {
    // Handles are 32-bit values, sign-extended in 64-bit processes.
    return handleFromLow32<HBITMAP>(static_cast<uint32_t>(value));
}

int64_t getPictureState(HWND hwnd, void*) {
    return static_cast<int64_t>(SendMessageW(hwnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

void setPictureState(HWND hwnd, void*, int64_t value) {
    SendMessageW(hwnd, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(bitmapFromState(value)));
    InvalidateRect(hwnd, nullptr, FALSE);
}

void releasePicture(HWND, void* state) {
    delete static_cast<PictureState*>(state); // deletes the copy
}

SIZE pictureSize(HWND hwnd, void*) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

const UiControlClass* pictureClass() {
    static UiControlClass cls;
    if (!cls.kind) {
        cls.kind = UI_KIND_IMAGE;
        cls.typeCode = UI_TYPE_PICTURE;
        cls.getState = &getPictureState;
        cls.setState = &setPictureState;
        cls.release = &releasePicture;
        cls.getSize = &pictureSize;
        g_dragX = GetSystemMetrics(SM_CXDRAG);
        g_dragY = GetSystemMetrics(SM_CYDRAG);
    }
    return &cls;
}

} // namespace

void draw::pictureStartup() {
    if (g_msimg32) {
        return;
    }
    g_msimg32 = LoadLibraryW(L"msimg32.dll");
    if (g_msimg32) {
        g_alphaBlend = reinterpret_cast<AlphaBlendFn>(
            reinterpret_cast<void*>(GetProcAddress(g_msimg32, "AlphaBlend")));
    }
}

void draw::pictureShutdown() {
    g_alphaBlend = nullptr;
    if (g_msimg32) {
        FreeLibrary(g_msimg32);
        g_msimg32 = nullptr;
    }
}

bool draw::pictureHasAlphaBlend() {
    return g_alphaBlend != nullptr;
}

intptr_t UiAddPicture(int number, int x, int y, int width, int height, HBITMAP bitmap) {
    const UiControlClass* cls = pictureClass();
    HWND parent = ui::containerHandle();
    if (!parent) {
        return 0;
    }
    // Created with id -1 (it posts nothing until it is filed under its number).
    HWND hwnd = CreateWindowExW(
        0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(-1)), ui::module(), nullptr);
    if (!hwnd) {
        return 0;
    }
    g_staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&pictureProc)));
    auto* state = new (std::nothrow) PictureState();
    if (!state) {
        DestroyWindow(hwnd);
        return 0;
    }
    const intptr_t result = ui::adoptControl(number, hwnd, cls, state);
    if (result) {
        setPictureState(hwnd, state, reinterpret_cast<intptr_t>(bitmap));
    }
    return result;
}
