#include "host/modal_watch_win.h"

#include <algorithm>
#include <cwchar>

#include "host/capture_win.h"

namespace host {

namespace {

ModalWatch* g_watch = nullptr;

// How long the watch keeps looking for a box before it gives up.
const int WATCH_MAX_LOOKS = 40;
// Buffers for a child's class name and caption: room for "Button" and for
// every caption looked for (a longer one is cut and matches none).
const int WATCH_CLASS_CHARS = 16;
const int WATCH_CAPTION_CHARS = 64;

// (Enumeration callbacks are stdcall functions, which lambdas are not in
// the 32-bit build.)
BOOL CALLBACK collectWindow(HWND w, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
    return TRUE;
}

std::vector<HWND> threadWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

struct ButtonSearch {
    std::vector<std::wstring> captions;
    HWND found = nullptr;
};

BOOL CALLBACK matchButton(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<ButtonSearch*>(p);
    wchar_t cls[WATCH_CLASS_CHARS] = {};
    wchar_t text[WATCH_CAPTION_CHARS] = {};
    GetClassNameW(w, cls, WATCH_CLASS_CHARS);
    GetWindowTextW(w, text, WATCH_CAPTION_CHARS);
    std::wstring caption(text);
    caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
    if (_wcsicmp(cls, L"Button") == 0 && IsWindowVisible(w) &&
        std::find(s->captions.begin(), s->captions.end(), caption) != s->captions.end()) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The push button among the box's children whose caption, without its "&"
// marks, is one of `captions`.
HWND findButton(HWND box, std::initializer_list<const wchar_t*> captions) {
    ButtonSearch search;
    for (const wchar_t* c : captions) {
        search.captions.push_back(c);
    }
    EnumChildWindows(box, &matchButton, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

ModalWatch::ModalWatch(const std::wstring& capturePath, CloseWith close)
    : capturePath_(capturePath), close_(close) {
    if (g_watch) {
        problem_ = "another box is being watched";
        return;
    }
    if (capturePath_.empty() && close_ == CloseWith::None) {
        return; // nothing to do: the user handles the box
    }
    before_ = threadWindows();
    timer_ = SetTimer(nullptr, 0, LOOK_INTERVAL_MS, &ModalWatch::onTimer);
    if (timer_) {
        g_watch = this;
    } else {
        problem_ = "no timer for watching the box";
    }
}

ModalWatch::~ModalWatch() {
    disarm();
}

void ModalWatch::disarm() {
    if (g_watch == this) {
        KillTimer(nullptr, timer_);
        g_watch = nullptr;
        if (!box_ && problem_.empty()) {
            problem_ = "no box appeared";
        }
    }
}

void CALLBACK ModalWatch::onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_watch && g_watch->timer_ == id) {
        g_watch->look();
    }
}

void ModalWatch::look() {
    HWND box = findBox();
    if (!box) {
        if (++looks_ >= WATCH_MAX_LOOKS) {
            KillTimer(nullptr, timer_);
            g_watch = nullptr;
            problem_ = "no box appeared";
        }
        return;
    }
    KillTimer(nullptr, timer_);
    g_watch = nullptr;
    box_ = box;
    if (!capturePath_.empty()) {
        Picture picture;
        if (!captureWindow(box, true, &picture)) {
            problem_ = "the box could not be read";
        } else if (!savePng(capturePath_, picture)) {
            problem_ = "the capture file could not be written";
        } else {
            captured_ = true;
        }
    }
    dismiss(box);
}

// The thread's active window when it is new, else the topmost new visible
// top-level window of the thread.
HWND ModalWatch::findBox() const {
    auto isNew = [this](HWND w) {
        return IsWindowVisible(w) && std::find(before_.begin(), before_.end(), w) == before_.end();
    };
    HWND active = GetActiveWindow();
    if (active && isNew(active)) {
        return active;
    }
    for (HWND w : threadWindows()) {
        if (isNew(w)) {
            return w;
        }
    }
    return nullptr;
}

// Posted, not sent: the click or close then happens in the box's own loop,
// as a user's would.
void ModalWatch::dismiss(HWND box) {
    HWND button = nullptr;
    switch (close_) {
    case CloseWith::None:
        return;
    case CloseWith::Ok:
        button = findButton(box, {L"OK"});
        break;
    case CloseWith::Cancel:
        button = findButton(box, {L"Cancelar", L"Cancel"});
        break;
    case CloseWith::CloseBox:
        break;
    }
    if (button) {
        PostMessageW(button, BM_CLICK, 0, 0);
        return;
    }
    if (close_ != CloseWith::CloseBox) {
        problem_ = close_ == CloseWith::Ok ? "the box has no OK button; closed it instead"
                                           : "the box has no Cancelar button; closed it instead";
    }
    PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
}

} // namespace host
