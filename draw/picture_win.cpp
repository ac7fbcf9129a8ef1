// The picture control's class: a Static control whose procedure the
// toolkit's sits in front of, the assignment of its image and the
// descriptor the toolkit files it under.
#include "draw/picture_win.h"

#include <new>
#include <optional>

#include "base/boundary.h"
#include "draw/alpha_blend_win.h"
#include "draw/image_win.h"
#include "draw/image_probe_win.h"
#include "draw/picture_internal_win.h"

namespace {

using draw::PictureState;

// A client edge or a dialog frame adds two pixels on every side.
constexpr int PICTURE_FRAME_PIXELS = 4;

// Each picture's displaced procedure, for the times it has no state (not
// yet, or no longer, filed with the toolkit). It is the window's own: a host
// that subclasses controls gives each its own procedure.
const wchar_t* const PICTURE_PROP_DISPLACED = L"canvas.draw.displacedProc";

PictureState* stateOf(HWND hwnd) {
    return static_cast<PictureState*>(ui::controlState(hwnd));
}

HANDLE setImage(HWND hwnd, PictureState& st, HANDLE image) {
    st.shown = static_cast<HBITMAP>(image);
    // Only an image with alpha needs a copy, and only while AlphaBlend is
    // there to paint it: the first such image looks it up.
    const bool alpha = image && draw::hasAlpha(st.shown) && draw::alphaBlend();
    st.changed.reset();
    if (alpha) {
        if (const std::optional<draw::PixelRect> area = st.copy.take(st.shown)) {
            const int at = draw::pictureOrigin(hwnd);
            st.changed =
                RECT{static_cast<LONG>(area->left + at), static_cast<LONG>(area->top + at),
                     static_cast<LONG>(area->right + at), static_cast<LONG>(area->bottom + at)};
        }
    } else {
        st.copy.clear();
    }
    draw::updateParent(hwnd, st);
    SIZE size{};
    if (image && draw::imageSize(image, &size)) {
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

// BeginPaint for the scope; EndPaint on every way out.
class PaintScope {
  public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &ps_)) {}
    ~PaintScope() { EndPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }
    const RECT& area() const { return ps_.rcPaint; }

  private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// The state answers in the process; the property only for a window without
// one (reading it can be a round trip to the window system).
WNDPROC displacedOf(HWND hwnd, const PictureState* st) {
    return st ? st->displaced : reinterpret_cast<WNDPROC>(GetPropW(hwnd, PICTURE_PROP_DISPLACED));
}

LRESULT callStatic(HWND hwnd, const PictureState* st, UINT msg, WPARAM wp, LPARAM lp) {
    const WNDPROC displaced = displacedOf(hwnd, st);
    return displaced ? CallWindowProcW(displaced, hwnd, msg, wp, lp)
                     : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    PictureState* st = stateOf(hwnd);
    if (msg == WM_NCDESTROY) { // the window's last message: its property goes too
        const LRESULT result = callStatic(hwnd, st, msg, wp, lp);
        RemovePropW(hwnd, PICTURE_PROP_DISPLACED);
        return result;
    }
    if (!st) { // not (or no longer) filed with the toolkit
        return callStatic(hwnd, st, msg, wp, lp);
    }
    LRESULT result = 0;
    switch (msg) {
    case STM_SETIMAGE:
        return reinterpret_cast<LRESULT>(setImage(hwnd, *st, reinterpret_cast<HANDLE>(lp)));
    case STM_SETICON:
        return reinterpret_cast<LRESULT>(setImage(hwnd, *st, reinterpret_cast<HANDLE>(wp)));
    case STM_GETIMAGE:
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(st->shown);
    case WM_PAINT: {
        const PaintScope paint(hwnd);
        draw::paintPicture(hwnd, paint.dc(), *st, &paint.area());
        return 0;
    }
    // WM_ERASEBKGND goes on to the Static (and any host subclass behind
    // it): a Static erases nothing there, and paints its background only
    // in its own WM_PAINT, which this procedure replaces. So nothing but
    // the image is ever painted on a picture.
    case WM_PRINT:
    case WM_PRINTCLIENT:
        draw::paintPicture(hwnd, reinterpret_cast<HDC>(wp), *st, nullptr);
        return 0;
    case WM_MOVE:
        draw::updateParent(hwnd, *st);
        break;
    case WM_ENABLE:
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
    default:
        if (draw::pictureMouse(hwnd, msg, lp, *st, &result)) {
            return result;
        }
        break;
    }
    return callStatic(hwnd, st, msg, wp, lp);
}

// A message that fails half-way gets the default handling: a paint still
// validates its area, an assignment answers "no image".
LRESULT CALLBACK pictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return atBoundary([&] { return handleMessage(hwnd, msg, wp, lp); },
                      [&] { return DefWindowProcW(hwnd, msg, wp, lp); });
}

//--- Class descriptor

HBITMAP bitmapFromState(int64_t value) {
    return draw::bitmapFromLow32(static_cast<uint32_t>(value));
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

// The picture's own procedure and property come off a control that
// outlives the toolkit; it gets back the procedure the picture displaced.
WNDPROC giveBackPicture(HWND hwnd, void*) {
    const WNDPROC displaced = draw::pictureDisplacedProc(hwnd);
    RemovePropW(hwnd, PICTURE_PROP_DISPLACED);
    return displaced;
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
        cls.giveBack = &giveBackPicture;
        draw::readDragThresholds();
    }
    return &cls;
}

} // namespace

intptr_t UiAddPicture(int number, int x, int y, int width, int height, HBITMAP bitmap) {
    const UiControlClass* cls = pictureClass();
    HWND parent = ui::containerHandle();
    if (!parent) {
        return 0;
    }
    HWND hwnd = CreateWindowExW(
        0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_NOTIFY, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(draw::PICTURE_UNFILED_ID)), ui::module(),
        nullptr);
    if (!hwnd) {
        return 0;
    }
    // A hook may have mirrored it as it was made: its pixels are the
    // image's, left to right.
    ui::keepLeftToRight(hwnd);
    auto* state = new (std::nothrow) PictureState();
    const auto displaced = GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    if (!state || !SetPropW(hwnd, PICTURE_PROP_DISPLACED, reinterpret_cast<HANDLE>(displaced))) {
        delete state;
        DestroyWindow(hwnd);
        return 0;
    }
    state->displaced = reinterpret_cast<WNDPROC>(displaced);
    state->barsPossible = draw::mayHaveBars(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&pictureProc));
    const intptr_t result = ui::adoptControl(number, hwnd, cls, state);
    if (result) {
        setPictureState(hwnd, state, reinterpret_cast<intptr_t>(bitmap));
    }
    return result;
}

WNDPROC draw::pictureDisplacedProc(HWND control) {
    return displacedOf(control, stateOf(control));
}
