// The control table and the standard controls: labels, edit fields and push
// buttons, their text, and the state of custom controls.
#include "ui/toolkit_internal_win.h"

#include <new>
#include <string>

#include "base/no_destroy.h"
#include "base/text_win.h"

namespace {

// The most characters an edit field takes (EM_LIMITTEXT), typed or pasted.
constexpr WPARAM UI_EDIT_TEXT_LIMIT = 0x100000;

void releaseControlNumber(int number);

NoDestroy<ObjectTable<ui::ControlRecord>> g_controls{
    [] { return ObjectTable<ui::ControlRecord>(ui::UI_TABLE_GROWTH, &releaseControlNumber); }};

void releaseControlNumber(int number) {
    ui::ControlRecord* rec = g_controls->find(number);
    if (!rec) {
        return;
    }
    HWND hwnd = rec->handle;
    // Another thread's control stays, with its own procedure back. Its
    // class's state stays too, never freed: that thread may be inside one of
    // the control's messages right now, reading it.
    if (!DestroyWindow(hwnd) && IsWindow(hwnd)) {
        ui::giveBackControl(*rec);
        g_controls->remove(number);
        ui::eventQueue().dropControl(number);
        return;
    }
    rec = g_controls->find(number);
    if (rec && rec->handle == hwnd) {
        ui::forgetControl(number);
    }
}

intptr_t addStandardControl(int number, int kind, const wchar_t* cls, DWORD style, DWORD exStyle,
                            int x, int y, int w, int h, const Text& text) {
    HWND parent = ui::containerHandle();
    const ui::WindowRecord* container = ui::windowRecordOf(parent, nullptr);
    if (!container) {
        return 0;
    }
    const ui::Place requested{x, y, w, h};
    const ui::Place p = container->keepPixels ? requested : ui::scaledPlace(requested);
    // Edit fields get their text after adoption, by SetWindowTextW.
    const wchar_t* initial = kind == UI_KIND_EDIT ? L"" : wstr(text);
    HWND hwnd = CreateWindowExW(exStyle, cls, initial, style, p.x, p.y, p.width, p.height, parent,
                                nullptr, ui::module(), nullptr);
    if (!hwnd) {
        return 0;
    }
    const intptr_t result = ui::adoptControl(number, hwnd, nullptr, nullptr);
    ui::ControlRecord* rec = result ? ui::controlRecordOf(hwnd, nullptr) : nullptr;
    if (!rec) {
        return 0;
    }
    rec->kind = kind;
    if (kind == UI_KIND_EDIT) {
        SendMessageW(hwnd, EM_LIMITTEXT, UI_EDIT_TEXT_LIMIT, 0);
        SetWindowTextW(hwnd, wstr(text));
    }
    return result;
}

} // namespace

//--- Standard controls

intptr_t UiAddLabel(int number, int x, int y, int width, int height, const Text& text, int align) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX;
    if (align == UI_ALIGN_CENTRE) {
        style |= SS_CENTER;
    }
    return addStandardControl(number, UI_KIND_LABEL, L"Static", style, 0, x, y, width, height,
                              text);
}

intptr_t UiAddEdit(int number, int x, int y, int width, int height, const Text& text) {
    return addStandardControl(number, UI_KIND_EDIT, L"Edit",
                              WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL,
                              WS_EX_CLIENTEDGE, x, y, width, height, text);
}

intptr_t UiAddButton(int number, int x, int y, int width, int height, const Text& caption) {
    return addStandardControl(number, UI_KIND_BUTTON, L"Button",
                              WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, x, y, width, height,
                              caption);
}

intptr_t ui::addControl(const ControlArgs& args) {
    const Place& p = args.place;
    switch (args.kind) {
    case UI_KIND_LABEL:
        return UiAddLabel(args.number, p.x, p.y, p.width, p.height, args.text, args.align);
    case UI_KIND_EDIT:
        return UiAddEdit(args.number, p.x, p.y, p.width, p.height, args.text);
    case UI_KIND_BUTTON:
        return UiAddButton(args.number, p.x, p.y, p.width, p.height, args.text);
    default:
        return 0;
    }
}

//--- Any control

HWND UiControlHandle(int control) {
    ui::ControlRecord* rec = g_controls->find(control);
    return rec ? rec->handle : nullptr;
}

Text UiGetText(int control) {
    HWND hwnd = UiControlHandle(control);
    if (!hwnd) {
        return Text();
    }
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) {
        return Text();
    }
    std::wstring buffer;
    try {
        buffer.resize(static_cast<size_t>(length) + 1);
    } catch (const std::bad_alloc&) {
        return Text();
    }
    const int got = GetWindowTextW(hwnd, &buffer[0], length + 1);
    buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return textFromWide(buffer.c_str());
}

void UiSetText(int control, const Text& text) {
    HWND hwnd = UiControlHandle(control);
    if (hwnd) {
        SetWindowTextW(hwnd, wstr(text));
    }
}

void UiSetState(int control, int64_t value) {
    ui::ControlRecord* rec = g_controls->find(control);
    if (!rec || !rec->cls || !rec->cls->setState) {
        return;
    }
    EventQueue::Suppress quiet(ui::eventQueue());
    rec->cls->setState(rec->handle, rec->state, value);
}

int64_t UiGetState(int control) {
    ui::ControlRecord* rec = g_controls->find(control);
    if (!rec || !rec->cls || !rec->cls->getState) {
        return 0;
    }
    return rec->cls->getState(rec->handle, rec->state);
}

SIZE ui::controlSize(int control) {
    ControlRecord* rec = g_controls->find(control);
    if (!rec) {
        return SIZE{0, 0};
    }
    if (rec->cls && rec->cls->getSize) {
        return rec->cls->getSize(rec->handle, rec->state);
    }
    RECT r{};
    GetWindowRect(rec->handle, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

//--- Shared with the toolkit's other files

ObjectTable<ui::ControlRecord>& ui::controlTable() {
    return *g_controls;
}

ui::ControlRecord* ui::controlRecordOf(HWND hwnd, int* number) {
    if (!hwnd) {
        return nullptr;
    }
    const int n = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    ControlRecord* rec = g_controls->find(n);
    if (!rec || rec->handle != hwnd) {
        return nullptr;
    }
    if (number) {
        *number = n;
    }
    return rec;
}

void ui::forgetControl(int number) {
    ControlRecord* rec = g_controls->find(number);
    if (!rec) {
        return;
    }
    const UiControlClass* cls = rec->cls;
    void* state = rec->state;
    HWND hwnd = rec->handle;
    g_controls->remove(number);
    eventQueue().dropControl(number);
    if (cls && cls->release) {
        cls->release(hwnd, state);
    }
}

void ui::destroyAllControls() {
    g_controls->releaseAll();
    g_controls.destroy();
}
