#include "host/list_dialog_win.h"

#include <algorithm>

namespace host {

namespace {

// The dialog's layout in dialog units: the list above two buttons at the
// bottom right, a margin around them and between the buttons (a unit more
// below them).
const short LIST_DIALOG_WIDTH = 180;
const short LIST_DIALOG_HEIGHT = 140;
const short LIST_MARGIN = 7;
const short LIST_BOTTOM_MARGIN = 8;
const short LIST_BUTTON_WIDTH = 50;
const short LIST_BUTTON_HEIGHT = 15;
const short LIST_BUTTON_TOP = LIST_DIALOG_HEIGHT - LIST_BOTTOM_MARGIN - LIST_BUTTON_HEIGHT;
const short LIST_CANCEL_LEFT = LIST_DIALOG_WIDTH - LIST_MARGIN - LIST_BUTTON_WIDTH;
const short LIST_OK_LEFT = LIST_CANCEL_LEFT - LIST_MARGIN - LIST_BUTTON_WIDTH;
const short LIST_BOX_WIDTH = LIST_DIALOG_WIDTH - 2 * LIST_MARGIN;
const short LIST_BOX_HEIGHT = LIST_BUTTON_TOP - LIST_BOTTOM_MARGIN - LIST_MARGIN;
const WORD LIST_BOX_ID = 100;

// The dialog font (DS_SETFONT), as the system's own dialogs have it.
const WORD TEMPLATE_FONT_POINTS = 8;
const wchar_t TEMPLATE_FONT_FACE[] = L"MS Shell Dlg";
// Predefined window classes as a dialog template names them: by ordinal.
const WORD TEMPLATE_ORDINAL = 0xFFFF;
const WORD TEMPLATE_BUTTON_CLASS = 0x0080;
const WORD TEMPLATE_LIST_BOX_CLASS = 0x0083;

// A dialog template in memory: the header, then DWORD-aligned items, which
// the header counts.
class DialogTemplate {
  public:
    DialogTemplate(const std::wstring& title, short cx, short cy) {
        dword(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        dword(0); // no extended style
        itemCountAt_ = data_.size();
        word(0); // items, counted by item()
        word(0); // x and y: placed over the owner once it is made
        word(0);
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(0); // no menu
        word(0); // the dialog class
        text(title);
        word(TEMPLATE_FONT_POINTS);
        text(TEMPLATE_FONT_FACE);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classOrdinal,
              const std::wstring& caption) {
        ++data_[itemCountAt_];
        if (data_.size() % 2) { // WORDs so far: an odd count is off a DWORD boundary
            word(0);
        }
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0); // no extended style
        for (short v : {x, y, cx, cy}) {
            word(static_cast<WORD>(v));
        }
        word(id);
        word(TEMPLATE_ORDINAL);
        word(classOrdinal);
        text(caption);
        word(0); // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

  private:
    void word(WORD w) { data_.push_back(w); }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void text(const std::wstring& s) {
        for (wchar_t c : s) {
            word(static_cast<WORD>(c));
        }
        word(0);
    }
    std::vector<WORD> data_;
    size_t itemCountAt_ = 0;
};

// Centres the dialog on its owner, as a box that belongs to a window opens
// over it (DS_CENTER would centre it on the screen), kept inside the work
// area of the owner's monitor. Without an owner it stays where it is.
void centreOnOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT box, over;
    if (!owner || !GetWindowRect(dialog, &box) || !GetWindowRect(owner, &over)) {
        return;
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const LONG width = box.right - box.left, height = box.bottom - box.top;
    LONG x = over.left + (over.right - over.left - width) / 2;
    LONG y = over.top + (over.bottom - over.top - height) / 2;
    x = std::max(work.left, std::min(x, work.right - width));
    y = std::max(work.top, std::min(y, work.bottom - height));
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

struct ListChoice {
    const std::vector<std::wstring>* items;
    int index;
};

INT_PTR CALLBACK listProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        auto* choice = reinterpret_cast<ListChoice*>(lParam);
        for (const std::wstring& item : *choice->items) {
            SendDlgItemMessageW(dialog, LIST_BOX_ID, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(item.c_str()));
        }
        SendDlgItemMessageW(dialog, LIST_BOX_ID, LB_SETCURSEL, 0, 0);
        centreOnOwner(dialog);
        return TRUE;
    }
    case WM_COMMAND: {
        auto* choice = reinterpret_cast<ListChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
        const int id = LOWORD(wParam);
        if (id == IDOK || (id == LIST_BOX_ID && HIWORD(wParam) == LBN_DBLCLK)) {
            auto sel = SendDlgItemMessageW(dialog, LIST_BOX_ID, LB_GETCURSEL, 0, 0);
            if (sel >= 0 && choice) {
                choice->index = static_cast<int>(sel);
                EndDialog(dialog, IDOK);
            }
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}

} // namespace

bool chooseFromList(HWND owner, const std::wstring& title, const std::vector<std::wstring>& items,
                    int* index) {
    if (items.empty()) {
        return false;
    }
    DialogTemplate dlg(title, LIST_DIALOG_WIDTH, LIST_DIALOG_HEIGHT);
    dlg.item(WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, LIST_MARGIN,
             LIST_MARGIN, LIST_BOX_WIDTH, LIST_BOX_HEIGHT, LIST_BOX_ID, TEMPLATE_LIST_BOX_CLASS,
             L"");
    dlg.item(WS_TABSTOP | BS_DEFPUSHBUTTON, LIST_OK_LEFT, LIST_BUTTON_TOP, LIST_BUTTON_WIDTH,
             LIST_BUTTON_HEIGHT, IDOK, TEMPLATE_BUTTON_CLASS, L"OK");
    dlg.item(WS_TABSTOP | BS_PUSHBUTTON, LIST_CANCEL_LEFT, LIST_BUTTON_TOP, LIST_BUTTON_WIDTH,
             LIST_BUTTON_HEIGHT, IDCANCEL, TEMPLATE_BUTTON_CLASS, L"Cancel");
    ListChoice choice{&items, -1};
    INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dlg.get(), owner, &listProc,
                                        reinterpret_cast<LPARAM>(&choice));
    if (r != IDOK || choice.index < 0) {
        return false;
    }
    *index = choice.index;
    return true;
}

} // namespace host
