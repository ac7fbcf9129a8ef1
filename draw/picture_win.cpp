#include "draw/picture_win.h"

#include <windowsx.h>

#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include "draw/paint_copy_win.h"
#include "base/gdi_win.h"
#include "base/handle_win.h"

namespace {

//--- Types

// A client edge or a dialog frame adds two pixels on every side.
constexpr int PICTURE_FRAME_PIXELS = 4;
// Where a control with a dialog frame paints its image.
constexpr int PICTURE_FRAMED_ORIGIN = -1;
// The id a control has until the toolkit files it under its number; it
// posts nothing while it has it.
constexpr int PICTURE_UNFILED_ID = -1;
// Room for the class names of the bars a paint leaves alone.
constexpr int PICTURE_CLASS_NAME_CHARS = 32;

struct PictureState {
    HBITMAP shown = nullptr; // not owned: the image (or icon) last assigned
    draw::PaintCopy copy;    // premultiplied copy of `shown`, taken at the last assignment
    // What the last assignment changed in the copy, in client coordinates:
    // all of it when unset, nothing when empty.
    std::optional<RECT> changed;
    bool buttonDown = false;            // left button pressed here, no drag yet
    POINT downAt{};                     // where it was pressed (client coordinates)
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
    if (control != PICTURE_UNFILED_ID && ui::windowNumberOf(hwnd, &window)) {
        ui::postEvent(UiEvent{UI_EVENT_CONTROL, control, window, type});
    }
}

// Repaints the toolkit window's background under the control at once, so
// that an image with transparent parts (or none at all) is shown over a
// fresh background. A bitmap painted without a copy, or from a copy that is
// opaque everywhere, covers it anyway.
void updateParent(HWND hwnd, const PictureState& st) {
    if (isBitmap(st.shown) && (!st.copy || st.copy.opaque())) {
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

// Where the control paints its image's top-left pixel.
int origin(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & WS_DLGFRAME) ? PICTURE_FRAMED_ORIGIN : 0;
}

HANDLE setImage(HWND hwnd, PictureState& st, HANDLE image) {
    st.shown = static_cast<HBITMAP>(image);
    // Only an image with alpha needs a copy, and only while AlphaBlend is
    // there to paint it.
    const bool alpha = image && g_alphaBlend && draw::hasAlpha(st.shown);
    st.changed.reset();
    if (alpha) {
        if (const std::optional<draw::PixelRect> area = st.copy.take(st.shown)) {
            const int at = origin(hwnd);
            st.changed =
                RECT{static_cast<LONG>(area->left + at), static_cast<LONG>(area->top + at),
                     static_cast<LONG>(area->right + at), static_cast<LONG>(area->bottom + at)};
        }
    } else {
        st.copy.clear();
    }
    updateParent(hwnd, st);
    SIZE size{};
    if (image && imageSize(image, &size)) {
        if ((GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ||
            (GetWindowLongW(hwnd, GWL_STYLE) & WS_DLGFRAME)) {
            size.cx += PICTURE_FRAME_PIXELS;
            size.cy += PICTURE_FRAME_PIXELS;
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

// Puts a device context's clip region back on scope exit as it was (none,
// when it had none).
class ScopedClip {
  public:
    explicit ScopedClip(HDC dc) : dc_(dc), saved_(CreateRectRgn(0, 0, 0, 0)) {
        hadClip_ = saved_ && GetClipRgn(dc, saved_.get()) == 1;
    }
    ~ScopedClip() { SelectClipRgn(dc_, hadClip_ ? saved_.get() : nullptr); }
    ScopedClip(const ScopedClip&) = delete;
    ScopedClip& operator=(const ScopedClip&) = delete;

  private:
    HDC dc_;
    GdiObject<HRGN> saved_;
    bool hadClip_ = false;
};

// Tool bars and status bars next to the control are never painted over.
// Their rectangles in client coordinates; none for a control alone in its
// window, as a canvas's is.
std::vector<RECT> barsBeside(HWND hwnd) {
    std::vector<RECT> bars;
    HWND parent = GetParent(hwnd);
    if (!parent) {
        return bars;
    }
    for (HWND s = GetWindow(parent, GW_CHILD); s; s = GetWindow(s, GW_HWNDNEXT)) {
        if (s == hwnd || !IsWindowVisible(s)) {
            continue;
        }
        wchar_t name[PICTURE_CLASS_NAME_CHARS] = {};
        GetClassNameW(s, name, PICTURE_CLASS_NAME_CHARS);
        if (equalsNoCase(name, L"ToolbarWindow32") || equalsNoCase(name, L"msctls_statusbar32")) {
            RECT r{};
            GetWindowRect(s, &r);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
            bars.push_back(r);
        }
    }
    return bars;
}

// Every paint is one blit of the copy (or DrawStateW of the image when
// there is none): the live image is never read here. Only `area` (client
// coordinates; null: everything) is blitted, which for a paint is its
// update rectangle.
void paint(HWND hwnd, HDC dc, const PictureState& st, const RECT* area) {
    if (!dc) {
        return;
    }
    // The clip region is saved and changed only when there is a bar to
    // leave out: a changed clip region costs the blit that follows.
    std::vector<RECT> bars;
    try {
        bars = barsBeside(hwnd);
    } catch (const std::bad_alloc&) {
        return; // painted by the next paint, which has the memory
    }
    std::optional<ScopedClip> keepClip;
    if (!bars.empty()) {
        keepClip.emplace(dc);
        for (const RECT& r : bars) {
            ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
        }
    }
    if (!st.shown) {
        return;
    }
    const int at = origin(hwnd);
    if (!st.copy || !g_alphaBlend) {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(st.shown), 0, at, at, 0, 0,
                   isBitmap(st.shown) ? DST_BITMAP : DST_ICON);
        return;
    }
    const SIZE size = st.copy.size();
    RECT r{at, at, at + size.cx, at + size.cy};
    if (area && !IntersectRect(&r, &r, area)) {
        return;
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (st.copy.opaque()) {
        // Over opaque pixels AlphaBlend gives the source itself, and costs
        // dozens of plain blits under some GDI implementations.
        BitBlt(dc, r.left, r.top, w, h, st.copy.dc(), r.left - at, r.top - at, SRCCOPY);
    } else {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        g_alphaBlend(dc, r.left, r.top, w, h, st.copy.dc(), r.left - at, r.top - at, w, h, blend);
    }
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
        paint(hwnd, dc, *st, &ps.rcPaint);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT:
        paint(hwnd, reinterpret_cast<HDC>(wp), *st, nullptr);
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

// Only what the new copy changed is repainted: nothing after a pass that
// changed nothing, a few pixels after a small circle.
void setPictureState(HWND hwnd, void* state, int64_t value) {
    SendMessageW(hwnd, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(bitmapFromState(value)));
    const PictureState* st = static_cast<const PictureState*>(state);
    if (!st->changed) {
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (!IsRectEmpty(&*st->changed)) {
        InvalidateRect(hwnd, &*st->changed, FALSE);
    }
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
    HWND hwnd = CreateWindowExW(
        0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(PICTURE_UNFILED_ID)), ui::module(), nullptr);
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
