// The picture control's mouse: presses, drags and double clicks become
// UI_EVENT_CONTROL events of the toolkit window it sits in.
#include "draw/picture_internal_win.h"

#include <windowsx.h>

#include <cstdlib>

#include "draw/picture_win.h"

namespace draw {

namespace {

// Drag thresholds, read once with the class descriptor.
int g_dragX = 0;
int g_dragY = 0;

void postPictureEvent(HWND hwnd, int32_t type) {
    const int control = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    int window = 0;
    if (control != PICTURE_UNFILED_ID && ui::windowNumberOf(hwnd, &window)) {
        ui::postEvent(UiEvent{UI_EVENT_CONTROL, control, window, type});
    }
}

} // namespace

void readDragThresholds() {
    g_dragX = GetSystemMetrics(SM_CXDRAG);
    g_dragY = GetSystemMetrics(SM_CYDRAG);
}

bool pictureMouse(HWND hwnd, UINT msg, LPARAM lp, PictureState& st, LRESULT* result) {
    *result = 0;
    switch (msg) {
    case WM_LBUTTONDOWN:
        st.buttonDown = true;
        st.downAt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        SetCapture(hwnd);
        return false;
    case WM_MOUSEMOVE:
        if (st.buttonDown && (std::abs(GET_X_LPARAM(lp) - st.downAt.x) > g_dragX ||
                              std::abs(GET_Y_LPARAM(lp) - st.downAt.y) > g_dragY)) {
            st.buttonDown = false;
            ReleaseCapture();
            postPictureEvent(hwnd, PICTURE_EVENT_DRAG_START);
        }
        return false;
    case WM_LBUTTONUP:
        if (st.buttonDown) {
            st.buttonDown = false;
            ReleaseCapture();
        }
        return false;
    case WM_LBUTTONDBLCLK:
        postPictureEvent(hwnd, PICTURE_EVENT_DOUBLE_CLICK);
        return true;
    case WM_RBUTTONUP:
        if (st.afterRightDoubleClick) {
            st.afterRightDoubleClick = false;
        } else {
            postPictureEvent(hwnd, PICTURE_EVENT_RIGHT_CLICK);
        }
        return true;
    case WM_RBUTTONDBLCLK:
        postPictureEvent(hwnd, PICTURE_EVENT_RIGHT_DOUBLE_CLICK);
        st.afterRightDoubleClick = true;
        return true;
    default:
        return false;
    }
}

} // namespace draw
