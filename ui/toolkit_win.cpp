#include "ui/toolkit_win.h"

#include <commctrl.h>

#include <cstddef>
#include <new>
#include <string>
#include <vector>

#include "base/gdi_win.h"
#include "base/text_win.h"

namespace {

//--- Types

struct WindowRecord {
    HWND handle = nullptr;
    HACCEL accelerators = nullptr; // owned: destroyed with the window
    HWND lastFocus = nullptr;      // not owned: the child focused at the last deactivation
};

struct ControlRecord {
    HWND handle = nullptr;
    int kind = 0;
    const UiControlClass* cls = nullptr; // null for labels, edits and buttons
    void* state = nullptr;               // the class's, released through cls->release
    WNDPROC previous = nullptr;          // the control's procedure behind the toolkit's
};

// One thread's queue, linked into a process-wide list so that shut-down can
// free the queues of every thread that ever used the toolkit.
struct QueueNode {
    EventQueue queue;
    QueueNode* next = nullptr;
};

//--- Globals

// The window number on the HWND, plus one so that window 0 is told apart
// from a window without a number.
const wchar_t* const PROP_NUMBER = L"canvas.ui.number";
// A control's window procedure before the toolkit's was put in front of it.
const wchar_t* const PROP_PREVIOUS_PROC = L"canvas.ui.previousProc";

void releaseWindowNumber(int number);
void releaseControlNumber(int number);

ObjectTable<WindowRecord> g_windows{16, &releaseWindowNumber};
ObjectTable<ControlRecord> g_controls{16, &releaseControlNumber};
int g_container = UI_ANY; // number of the current container, UI_ANY for none

HINSTANCE g_module = nullptr; // not owned: whose icon and classes the toolkit uses
HICON g_icon = nullptr;       // owned: the class icon of every toolkit window
HCURSOR g_cursor = nullptr;   // shared system cursor, not destroyed
HFONT g_font = nullptr;       // owned unless g_fontIsStock
bool g_fontIsStock = false;

// Classes of destroyed windows. A class cannot be unregistered while its
// window is still in WM_NCDESTROY, so it waits here for the next chance.
std::vector<std::wstring> g_staleClasses;

DWORD g_queueSlot = TLS_OUT_OF_INDEXES;
QueueNode* volatile g_queues = nullptr;
// Used only when a thread's queue cannot be allocated.
EventQueue g_fallbackQueue;

//--- Internal helpers

std::wstring className(int number) {
    return L"WindowClass_" + std::to_wstring(number);
}

void flushStaleClasses() {
    std::vector<std::wstring> keep;
    for (const std::wstring& name : g_staleClasses) {
        if (!UnregisterClassW(name.c_str(), ui::module()) &&
            GetLastError() == ERROR_CLASS_HAS_WINDOWS) {
            keep.push_back(name);
        }
    }
    g_staleClasses.swap(keep);
}

bool numberOnWindow(HWND hwnd, int* number) {
    const uintptr_t stored = reinterpret_cast<uintptr_t>(GetPropW(hwnd, PROP_NUMBER));
    if (stored == 0) {
        return false;
    }
    *number = static_cast<int>(static_cast<uint32_t>(stored - 1));
    return true;
}

// The record of a toolkit window by its HWND, null if it is none of ours.
WindowRecord* windowRecordOf(HWND hwnd, int* number) {
    int n = 0;
    if (!hwnd || !numberOnWindow(hwnd, &n)) {
        return nullptr;
    }
    WindowRecord* rec = g_windows.find(n);
    if (!rec || rec->handle != hwnd) {
        return nullptr;
    }
    if (number) {
        *number = n;
    }
    return rec;
}

// The record of a toolkit control by its HWND: its id is its number.
ControlRecord* controlRecordOf(HWND hwnd, int* number) {
    if (!hwnd) {
        return nullptr;
    }
    const int n = static_cast<int>(GetWindowLongPtrW(hwnd, GWLP_ID));
    ControlRecord* rec = g_controls.find(n);
    if (!rec || rec->handle != hwnd) {
        return nullptr;
    }
    if (number) {
        *number = n;
    }
    return rec;
}

// Forgets a window whose HWND is gone (or being destroyed).
void forgetWindow(int number) {
    WindowRecord* rec = g_windows.find(number);
    if (!rec) {
        return;
    }
    if (rec->accelerators) {
        DestroyAcceleratorTable(rec->accelerators);
    }
    ui::eventQueue().dropWindow(number);
    try {
        g_staleClasses.push_back(className(number));
    } catch (const std::bad_alloc&) {
        // the class stays registered until the process ends; harmless
    }
    if (g_container == number) {
        g_container = UI_ANY;
    }
    g_windows.remove(number);
}

void forgetControl(int number) {
    ControlRecord* rec = g_controls.find(number);
    if (!rec) {
        return;
    }
    const UiControlClass* cls = rec->cls;
    void* state = rec->state;
    HWND hwnd = rec->handle;
    g_controls.remove(number);
    ui::eventQueue().dropControl(number);
    if (cls && cls->release) {
        cls->release(hwnd, state);
    }
}

void closeWindow(int number) {
    WindowRecord* rec = g_windows.find(number);
    if (!rec) {
        return;
    }
    HWND hwnd = rec->handle;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner) {
        SetActiveWindow(owner);
    }
    DestroyWindow(hwnd);
    // DestroyWindow fails for a window of another thread; the record goes
    // anyway, and the window's own WM_NCDESTROY will find nothing to do.
    rec = g_windows.find(number);
    if (rec && rec->handle == hwnd) {
        forgetWindow(number);
    }
    flushStaleClasses();
}

void releaseWindowNumber(int number) {
    closeWindow(number);
}

void releaseControlNumber(int number) {
    ControlRecord* rec = g_controls.find(number);
    if (!rec) {
        return;
    }
    HWND hwnd = rec->handle;
    DestroyWindow(hwnd);
    rec = g_controls.find(number);
    if (rec && rec->handle == hwnd) {
        forgetControl(number);
    }
}

HICON defaultIcon() {
    if (!g_icon) {
        g_icon = static_cast<HICON>(
            LoadImageW(ui::module(), MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    }
    return g_icon;
}

HCURSOR arrowCursor() {
    if (!g_cursor) {
        g_cursor = LoadCursorW(nullptr, IDC_ARROW);
    }
    return g_cursor;
}

void postEvent(int32_t code, int control, int window, int32_t subtype) {
    ui::eventQueue().post(UiEvent{code, control, window, subtype});
}

//--- Window procedure

// Tab and Shift+Tab: the enabled, visible tab stops among the window's
// children, in creation order, wrapping at either end.
void moveFocus(HWND hwnd, bool forward) {
    std::vector<HWND> stops;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(c) &&
            IsWindowVisible(c)) {
            stops.push_back(c);
        }
    }
    if (stops.empty()) {
        return;
    }
    const HWND focus = GetFocus();
    const size_t n = stops.size();
    size_t next = forward ? 0 : n - 1;
    for (size_t i = 0; i < n; ++i) {
        if (focus && (stops[i] == focus || IsChild(stops[i], focus))) {
            next = forward ? (i + 1) % n : (i + n - 1) % n;
            break;
        }
    }
    SetFocus(stops[next]);
}

void onCommand(HWND hwnd, int window, WPARAM wp, LPARAM lp) {
    if (lp) {
        // The number comes from the sender itself: LOWORD(wp) keeps only 16
        // bits, and a generated number such as 0x10000004 would read as 4.
        int control = 0;
        if (controlRecordOf(reinterpret_cast<HWND>(lp), &control)) {
            postEvent(UI_EVENT_CONTROL, control, window, HIWORD(wp));
        }
        return;
    }
    if (LOWORD(wp) == UI_COMMAND_NEXT_FOCUS || LOWORD(wp) == UI_COMMAND_PREVIOUS_FOCUS) {
        moveFocus(hwnd, LOWORD(wp) == UI_COMMAND_NEXT_FOCUS);
    }
}

// Remembers the focused control on deactivation and gives it the focus
// back on reactivation; true when the focus was restored.
bool onActivate(HWND hwnd, WPARAM wp) {
    WindowRecord* rec = windowRecordOf(hwnd, nullptr);
    if (!rec) {
        return false;
    }
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus)) {
            rec->lastFocus = focus;
        }
        return false;
    }
    if (!HIWORD(wp) && rec->lastFocus && IsChild(hwnd, rec->lastFocus)) {
        SetFocus(rec->lastFocus);
        return true;
    }
    return false;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    int number = 0;
    switch (msg) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lp);
        const auto n = static_cast<uint32_t>(reinterpret_cast<intptr_t>(cs->lpCreateParams));
        SetPropW(hwnd, PROP_NUMBER, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(n) + 1));
        break;
    }
    case WM_COMMAND:
        if (windowRecordOf(hwnd, &number)) {
            onCommand(hwnd, number, wp, lp);
        }
        return 0;
    case WM_CLOSE:
        // The window stays: the loop that owns it decides, by UiCloseWindow.
        if (windowRecordOf(hwnd, &number)) {
            postEvent(UI_EVENT_CLOSE, 0, number, 0);
        }
        return 0;
    case WM_ACTIVATE:
        if (onActivate(hwnd, wp)) {
            return 0;
        }
        break;
    case WM_NCDESTROY:
        if (windowRecordOf(hwnd, &number)) {
            forgetWindow(number);
        }
        RemovePropW(hwnd, PROP_NUMBER);
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

//--- Control procedure (in front of every control's own)

void onControlFocus(HWND hwnd, int32_t subtype) {
    int number = 0;
    ControlRecord* rec = controlRecordOf(hwnd, &number);
    int window = 0;
    if (rec && rec->kind == UI_KIND_EDIT && ui::windowNumberOf(hwnd, &window)) {
        postEvent(UI_EVENT_CONTROL, number, window, subtype);
    }
}

LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // Every message comes through here: the record answers in the process,
    // where reading a window property can be a round trip to the window
    // system (under Wine, to its server). The property still answers for a
    // control whose record has already gone.
    const ControlRecord* rec = controlRecordOf(hwnd, nullptr);
    const auto previous = rec && rec->previous
                              ? rec->previous
                              : reinterpret_cast<WNDPROC>(GetPropW(hwnd, PROP_PREVIOUS_PROC));
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
        if (wp == 1 && rec && rec->kind == UI_KIND_EDIT) { // Ctrl+A
            SendMessageW(hwnd, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_NCDESTROY: {
        const LRESULT result = CallWindowProcW(previous, hwnd, msg, wp, lp);
        int number = 0;
        if (controlRecordOf(hwnd, &number)) {
            forgetControl(number);
        }
        RemovePropW(hwnd, PROP_PREVIOUS_PROC);
        return result;
    }
    default:
        break;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

//--- Controls

intptr_t addStandardControl(int number, int kind, const wchar_t* cls, DWORD style, DWORD exStyle,
                            int x, int y, int w, int h, const Text& text) {
    HWND parent = ui::containerHandle();
    if (!parent) {
        return 0;
    }
    // Edit fields get their text after adoption, by SetWindowTextW.
    const wchar_t* initial = kind == UI_KIND_EDIT ? L"" : wstr(text);
    HWND hwnd = CreateWindowExW(exStyle, cls, initial, style, x, y, w, h, parent, nullptr,
                                ui::module(), nullptr);
    if (!hwnd) {
        return 0;
    }
    const intptr_t result = ui::adoptControl(number, hwnd, nullptr, nullptr);
    ControlRecord* rec = result ? controlRecordOf(hwnd, nullptr) : nullptr;
    if (!rec) {
        return 0;
    }
    rec->kind = kind;
    if (kind == UI_KIND_EDIT) {
        SendMessageW(hwnd, EM_LIMITTEXT, 0x100000, 0);
        SetWindowTextW(hwnd, wstr(text));
    }
    return result;
}

} // namespace

//--- Start-up and shut-down

void ui::startup(HINSTANCE module) {
    g_module = module;
    ui::eventQueue();
    defaultIcon();
    arrowCursor();
    ui::controlFont();
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xB48};
    InitCommonControlsEx(&icc);
}

void ui::shutdown() {
    g_windows.releaseAll();
    g_controls.releaseAll();
    g_container = UI_ANY;
    flushStaleClasses();
    g_staleClasses.clear();
    if (g_icon) {
        DestroyIcon(g_icon);
        g_icon = nullptr;
    }
    g_cursor = nullptr;
    if (g_font && !g_fontIsStock) {
        DeleteObject(g_font);
    }
    g_font = nullptr;
    g_fontIsStock = false;
    g_module = nullptr;
    QueueNode* node = static_cast<QueueNode*>(
        InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&g_queues), nullptr));
    while (node) {
        QueueNode* next = node->next;
        delete node;
        node = next;
    }
    if (g_queueSlot != TLS_OUT_OF_INDEXES) {
        TlsFree(g_queueSlot); // clears the slot in every thread
        g_queueSlot = TLS_OUT_OF_INDEXES;
    }
}

HINSTANCE ui::module() {
    return g_module ? g_module : GetModuleHandleW(nullptr);
}

//--- Windows

intptr_t UiOpenWindow(int number, int x, int y, int width, int height, const Text& title,
                      uint32_t flags, HWND owner) {
    int assigned = 0;
    WindowRecord* rec = nullptr;
    try {
        rec = g_windows.allocate(number, &assigned);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!rec) {
        return 0;
    }
    flushStaleClasses(); // a reused number's old class must go before it is registered again
    const std::wstring name = className(assigned);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &windowProc;
    wc.hInstance = ui::module();
    wc.hIcon = defaultIcon();
    wc.hCursor = arrowCursor();
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = name.c_str();
    // A class left registered because its window could not be destroyed
    // (another thread's) is ours too, and serves as well.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        g_windows.remove(assigned);
        return 0;
    }

    DWORD style = flags & ~UI_OPTION_BITS;
    if (style == 0) {
        style = WS_CAPTION;
    }
    const DWORD exStyle = 0;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND hwnd =
        CreateWindowExW(exStyle, name.c_str(), wstr(title), style, x, y, outer.right - outer.left,
                        outer.bottom - outer.top, owner, nullptr, ui::module(),
                        reinterpret_cast<void*>(static_cast<intptr_t>(assigned)));
    if (!hwnd) {
        UnregisterClassW(name.c_str(), ui::module());
        g_windows.remove(assigned);
        return 0;
    }
    rec->handle = hwnd;

    if ((flags & UI_CENTRE_OWNER) && owner) {
        RECT o{}, w{};
        GetWindowRect(owner, &o);
        GetWindowRect(hwnd, &w);
        // Integer division truncates toward zero; a negative result is 0.
        int left = o.left + ((o.right - o.left) - (w.right - w.left)) / 2;
        int top = o.top + ((o.bottom - o.top) - (w.bottom - w.top)) / 2;
        left = left < 0 ? 0 : left;
        top = top < 0 ? 0 : top;
        SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!(flags & UI_OPEN_HIDDEN)) {
        ShowWindow(hwnd, SW_SHOWNORMAL);
    }
    ACCEL keys[2] = {
        {FVIRTKEY | FNOINVERT, VK_TAB, UI_COMMAND_NEXT_FOCUS},
        {FVIRTKEY | FSHIFT | FNOINVERT, VK_TAB, UI_COMMAND_PREVIOUS_FOCUS},
    };
    rec = g_windows.find(assigned); // showing ran window procedures; look again
    if (!rec || rec->handle != hwnd) {
        return 0;
    }
    rec->accelerators = CreateAcceleratorTableW(keys, 2);
    g_container = assigned;
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(hwnd);
}

void UiCloseWindow(int number) {
    closeWindow(number);
}

int UiIsWindow(int number) {
    return g_windows.find(number) ? 1 : 0;
}

HWND UiWindowHandle(int number) {
    WindowRecord* rec = g_windows.find(number);
    return rec ? rec->handle : nullptr;
}

//--- Controls

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

HWND UiControlHandle(int control) {
    ControlRecord* rec = g_controls.find(control);
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
    ControlRecord* rec = g_controls.find(control);
    if (!rec || !rec->cls || !rec->cls->setState) {
        return;
    }
    EventQueue::Suppress quiet(ui::eventQueue());
    rec->cls->setState(rec->handle, rec->state, value);
}

int64_t UiGetState(int control) {
    ControlRecord* rec = g_controls.find(control);
    if (!rec || !rec->cls || !rec->cls->getState) {
        return 0;
    }
    return rec->cls->getState(rec->handle, rec->state);
}

SIZE ui::controlSize(int control) {
    ControlRecord* rec = g_controls.find(control);
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

//--- Events

int UiWaitEvent() {
    UiEvent event;
    for (;;) {
        if (ui::eventQueue().take(&event)) {
            return event.code;
        }
        MSG msg{};
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The quit belongs to the host's own loop: give it back, and end
            // the modal loop as if its window had been closed.
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));
            }
            ui::eventQueue().post(UiEvent{UI_EVENT_CLOSE, 0, g_container, 0}, true);
            continue;
        }
        HWND active = GetActiveWindow();
        WindowRecord* rec = windowRecordOf(active, nullptr);
        if (rec && rec->accelerators && TranslateAcceleratorW(active, rec->accelerators, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int UiEventControl() {
    return ui::eventQueue().lastControl();
}

int UiEventWindow() {
    return ui::eventQueue().lastWindow();
}

//--- Custom controls and shared pieces

HWND ui::containerHandle() {
    return UiWindowHandle(g_container);
}

intptr_t ui::adoptControl(int number, HWND control, const UiControlClass* cls, void* state) {
    auto fail = [&]() -> intptr_t {
        DestroyWindow(control);
        if (cls && cls->release) {
            cls->release(control, state);
        }
        return 0;
    };
    int assigned = 0;
    ControlRecord* rec = nullptr;
    try {
        rec = g_controls.allocate(number, &assigned);
    } catch (const std::bad_alloc&) {
        return fail();
    }
    if (!rec) {
        return fail();
    }
    const auto previous = GetWindowLongPtrW(control, GWLP_WNDPROC);
    if (!SetPropW(control, PROP_PREVIOUS_PROC, reinterpret_cast<HANDLE>(previous))) {
        g_controls.remove(assigned);
        return fail();
    }
    rec->handle = control;
    rec->kind = cls ? cls->kind : 0;
    rec->cls = cls;
    rec->state = state;
    rec->previous = reinterpret_cast<WNDPROC>(previous);
    SetWindowLongPtrW(control, GWLP_ID, assigned);
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&controlProc));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui::controlFont()), FALSE);
    return number == UI_ANY ? assigned : reinterpret_cast<intptr_t>(control);
}

void* ui::controlState(HWND control) {
    ControlRecord* rec = controlRecordOf(control, nullptr);
    return rec ? rec->state : nullptr;
}

HWND ui::toolkitWindowOf(HWND hwnd) {
    const HWND desktop = GetDesktopWindow();
    for (HWND h = hwnd; h && h != desktop; h = GetAncestor(h, GA_PARENT)) {
        if (windowRecordOf(h, nullptr)) {
            return h;
        }
    }
    return nullptr;
}

bool ui::windowNumberOf(HWND hwnd, int* number) {
    return windowRecordOf(ui::toolkitWindowOf(hwnd), number) != nullptr;
}

EventQueue& ui::eventQueue() {
    if (g_queueSlot == TLS_OUT_OF_INDEXES) {
        g_queueSlot = TlsAlloc();
        if (g_queueSlot == TLS_OUT_OF_INDEXES) {
            return g_fallbackQueue;
        }
    }
    auto* node = static_cast<QueueNode*>(TlsGetValue(g_queueSlot));
    if (!node) {
        node = new (std::nothrow) QueueNode();
        if (!node) {
            return g_fallbackQueue;
        }
        // Linked in without a lock: a compare-and-swap push.
        QueueNode* head = nullptr;
        do {
            head = g_queues;
            node->next = head;
        } while (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_queues),
                                                   node, head) != head);
        TlsSetValue(g_queueSlot, node);
    }
    return node->queue;
}

bool ui::postEvent(const UiEvent& event, bool force) {
    return ui::eventQueue().post(event, force);
}

HFONT ui::controlFont() {
    if (!g_font) {
        // The 500-byte form of the structure (without the padded border
        // width) is understood by every Windows version.
        NONCLIENTMETRICSW ncm{};
        ncm.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        static_assert(offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth) == 500, "layout");
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, ncm.cbSize, &ncm, 0)) {
            g_font = CreateFontIndirectW(&ncm.lfMessageFont);
        }
        g_fontIsStock = g_font == nullptr;
        if (!g_font) {
            g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        }
    }
    return g_font;
}
