// Adoption: every control, standard or custom, is filed in the control
// table under its number and gets the toolkit's control procedure in front
// of its own, which reports an edit field's focus, makes Ctrl+A select all,
// keeps Enter and Escape from a field and forgets the control when its
// window goes.
#include "ui/toolkit_internal_win.h"

#include <new>

#include "base/boundary.h"

namespace {

// A control's window procedure before the toolkit's was put in front of it.
const wchar_t* const UI_PROP_PREVIOUS_PROC = L"canvas.ui.previousProc";

// The character Ctrl+A types (WM_CHAR), which an edit field would otherwise
// take as text.
constexpr WPARAM UI_CHAR_CTRL_A = 0x01;

// Characters that mean nothing in a single-line field: Enter, Ctrl+Enter
// (a line feed) and Escape. A single-line Edit with no dialog manager in
// front of it answers Enter and Escape with the error beep, so they stop
// here; every other character (typing, Backspace, Ctrl+C/V/X/Z) goes on.
bool meaninglessInField(WPARAM ch) {
    return ch == L'\r' || ch == L'\n' || ch == 0x1B;
}

void onControlFocus(HWND hwnd, int32_t subtype) {
    int number = 0;
    ui::ControlRecord* rec = ui::controlRecordOf(hwnd, &number);
    int window = 0;
    if (rec && rec->kind == UI_KIND_EDIT && ui::windowNumberOf(hwnd, &window)) {
        ui::postEvent(UiEvent{UI_EVENT_CONTROL, number, window, subtype});
    }
}

LRESULT handleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // Every message comes through here: the record answers in the process,
    // where reading a window property can be a round trip to the window
    // system (under Wine, to its server). The property still answers for a
    // control whose record has already gone.
    const ui::ControlRecord* rec = ui::controlRecordOf(hwnd, nullptr);
    const auto previous = rec && rec->previous
                              ? rec->previous
                              : reinterpret_cast<WNDPROC>(GetPropW(hwnd, UI_PROP_PREVIOUS_PROC));
    if (!previous) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    switch (msg) {
    case WM_SETFOCUS:
        onControlFocus(hwnd, UI_SUBTYPE_FOCUS_GAINED);
        break;
    case WM_KILLFOCUS:
        onControlFocus(hwnd, UI_SUBTYPE_FOCUS_LOST);
        break;
    case WM_CHAR:
        if (rec && rec->kind == UI_KIND_EDIT) {
            if (wp == UI_CHAR_CTRL_A) {
                SendMessageW(hwnd, EM_SETSEL, 0, -1);
                return 0;
            }
            if (meaninglessInField(wp)) {
                return 0;
            }
        }
        break;
    case WM_NCDESTROY: {
        const LRESULT result = CallWindowProcW(previous, hwnd, msg, wp, lp);
        int number = 0;
        if (ui::controlRecordOf(hwnd, &number)) {
            ui::forgetControl(number);
        }
        RemovePropW(hwnd, UI_PROP_PREVIOUS_PROC);
        return result;
    }
    default:
        break;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

// A message that fails half-way (memory ran out) gets the default handling
// rather than the control's own: whatever failed may have handed it on
// already, and no message is handled twice.
LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return atBoundary([&] { return handleMessage(hwnd, msg, wp, lp); },
                      [&] { return DefWindowProcW(hwnd, msg, wp, lp); });
}

} // namespace

intptr_t ui::adoptControl(int number, HWND control, const UiControlClass* cls, void* state) {
    auto fail = [&]() -> intptr_t {
        DestroyWindow(control);
        if (cls && cls->release) {
            cls->release(control, state);
        }
        return 0;
    };
    ObjectTable<ControlRecord>& controls = controlTable();
    int assigned = 0;
    ControlRecord* rec = nullptr;
    try {
        rec = controls.allocate(number, &assigned);
    } catch (const std::bad_alloc&) {
        return fail();
    }
    if (!rec) {
        return fail();
    }
    const auto previous = GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (!SetPropW(control, UI_PROP_PREVIOUS_PROC, reinterpret_cast<HANDLE>(previous))) {
        controls.remove(assigned);
        return fail();
    }
    rec->handle = control;
    rec->kind = cls ? cls->kind : 0;
    rec->cls = cls;
    rec->state = state;
    rec->previous = reinterpret_cast<WNDPROC>(previous);
    SetWindowLongPtrW(control, GWLP_ID, assigned);
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&controlProc));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont()), FALSE);
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(control);
}

void ui::giveBackControl(const ControlRecord& rec) {
    WNDPROC own =
        rec.cls && rec.cls->giveBack ? rec.cls->giveBack(rec.handle, rec.state) : rec.previous;
    if (!own) {
        own = &DefWindowProcW;
    }
    SetWindowLongPtrW(rec.handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    RemovePropW(rec.handle, UI_PROP_PREVIOUS_PROC);
}

void* ui::controlState(HWND control) {
    ControlRecord* rec = controlRecordOf(control, nullptr);
    return rec ? rec->state : nullptr;
}
