// The picture control's painting: one blit of its copy, or DrawStateW of
// the image when there is no copy, and the background under it.
#include "draw/picture_internal_win.h"

#include <new>
#include <vector>

#include "base/gdi_win.h"
#include "draw/alpha_blend_win.h"
#include "draw/image_probe_win.h"
#include "ui/toolkit_win.h"

namespace draw {

namespace {

// Where a control with a dialog frame paints its image.
constexpr int PICTURE_FRAMED_ORIGIN = -1;
// Room for the class names of the bars a paint leaves alone.
constexpr int PICTURE_CLASS_NAME_CHARS = 32;

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

} // namespace

bool mayHaveBars(HWND control) {
    const HWND container = GetParent(control);
    const bool laidIntoAnother = container && ui::toolkitWindowOf(container) == container &&
                                 (GetWindowLongW(container, GWL_STYLE) & WS_CHILD) &&
                                 !ui::toolkitWindowOf(GetParent(container));
    if (!laidIntoAnother) {
        return true;
    }
    try {
        return !barsBeside(control).empty(); // none now: none ever
    } catch (const std::bad_alloc&) {
        return true;
    }
}

int pictureOrigin(HWND control) {
    return (GetWindowLongW(control, GWL_STYLE) & WS_DLGFRAME) ? PICTURE_FRAMED_ORIGIN : 0;
}

// A bitmap painted without a copy, or from a copy that is opaque
// everywhere, covers the background anyway; an image with transparent parts
// (or none at all) is shown over a fresh one.
void updateParent(HWND control, const PictureState& st) {
    if (isBitmap(st.shown) && (!st.copy || st.copy.opaque())) {
        return;
    }
    HWND owner = ui::toolkitWindowOf(GetAncestor(control, GA_PARENT));
    if (!owner) {
        return;
    }
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(owner, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// Every paint is one blit of the copy (or DrawStateW of the image when
// there is none): the live image is never read here. For a paint, `area` is
// its update rectangle.
void paintPicture(HWND control, HDC dc, const PictureState& st, const RECT* area) {
    if (!dc) {
        return;
    }
    // The clip region is saved and changed only when there is a bar to
    // leave out: a changed clip region costs the blit that follows.
    std::vector<RECT> bars;
    try {
        if (st.barsPossible) {
            bars = barsBeside(control);
        }
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
    const int at = pictureOrigin(control);
    const AlphaBlendFn blend = loadedAlphaBlend();
    if (!st.copy || !blend) {
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
        const BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        blend(dc, r.left, r.top, w, h, st.copy.dc(), r.left - at, r.top - at, w, h, function);
    }
}

} // namespace draw
