#include "host/capture_win.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "host/png.h"
#include "base/gdi_win.h"

namespace host {

namespace {

ModalWatch* g_watch = nullptr;

// How long the watch keeps looking for a box before it gives up.
const int WATCH_MAX_LOOKS = 40;

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
    wchar_t cls[16] = {};
    wchar_t text[64] = {};
    GetClassNameW(w, cls, 16);
    GetWindowTextW(w, text, 64);
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

//--- Picture

COLORREF Picture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return 0xFFFFFFFF;
    }
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return RGB(p[0], p[1], p[2]);
}

bool captureWindow(HWND window, bool wholeWindow, Picture* out) {
    RECT r{};
    if (!IsWindow(window) ||
        !(wholeWindow ? GetWindowRect(window, &r) : GetClientRect(window, &r))) {
        return false;
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0) {
        return false;
    }
    // Everything queued for painting is drawn first, children included.
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    WindowDC source(window, wholeWindow);
    MemoryDC memory(source.get());
    if (!source.get() || !memory) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(
        CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return false;
    }
    {
        ScopedSelect select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, w, h, source.get(), 0, 0, SRCCOPY)) {
            return false;
        }
        GdiFlush();
    }
    out->width = w;
    out->height = h;
    out->rgb.resize(static_cast<size_t>(w) * h * 3);
    const uint8_t* src = static_cast<const uint8_t*>(bits);
    for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
        out->rgb[i * 3] = src[i * 4 + 2];
        out->rgb[i * 3 + 1] = src[i * 4 + 1];
        out->rgb[i * 3 + 2] = src[i * 4];
    }
    return true;
}

bool savePng(const std::wstring& path, const Picture& picture) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        return false;
    }
    const bool ok = writePng(f, picture.width, picture.height, picture.rgb);
    return std::fclose(f) == 0 && ok;
}

//--- ModalWatch

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
