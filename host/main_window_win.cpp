// Windows of the host: the main window with its "Plug-in" menu, the
// rectangle objects inside it, and the message pumps that keep them running.
#include "host/app_win.h"

#include "host/encoding_win.h"
#include "host/list_dialog_win.h"

namespace host {

namespace {

const wchar_t MAIN_CLASS[] = L"CanvasHostMain";
const wchar_t OBJECT_CLASS[] = L"CanvasHostObject";
const DWORD MAIN_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const DWORD OBJECT_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const COLORREF LABEL_COLOUR = RGB(96, 112, 140);
// Where the main window opens, and its size before the client area is set.
const int MAIN_LEFT = 32;
const int MAIN_TOP = 32;
const int MAIN_FIRST_SIZE = 100;
// The plug-in's notification when the host's main window closes.
const int MESSAGE_CLOSING = 6;
// An object's name is drawn from a buffer of this many characters.
const int OBJECT_LABEL_CHARS = 256;
// The outer size is set at most twice: once from the style's frame, once
// corrected by the client size that came out (the menu bar may wrap).
const int MAIN_RESIZE_ATTEMPTS = 2;

// The App a window was created for: kept on the window from WM_NCCREATE on.
App* appOf(HWND window, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

} // namespace

//--- The main window

App::App(PluginModule& plugin, Console console)
    : plugin_(plugin), console_(std::move(console)), windowBrush_(CreateSolidBrush(WINDOW_COLOUR)),
      objectBrush_(CreateSolidBrush(OBJECT_COLOUR)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &App::mainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = MAIN_CLASS;
    mainClass_ = RegisterClassExW(&wc);
    wc.lpfnWndProc = &App::objectProc;
    wc.lpszClassName = OBJECT_CLASS;
    objectClass_ = RegisterClassExW(&wc);
    host_.pickObject = [this](std::string* name) { return pickObject(name); };
    host_.pickColour = [this](COLORREF* colour) { return pickColour(colour); };
}

App::~App() {
    close();
    if (mainClass_) {
        UnregisterClassW(MAIN_CLASS, GetModuleHandleW(nullptr));
    }
    if (objectClass_) {
        UnregisterClassW(OBJECT_CLASS, GetModuleHandleW(nullptr));
    }
}

bool App::openMainWindow() {
    if (main_) {
        return true;
    }
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, MENU_ABOUT, L"&About plug-in...");
    AppendMenuW(popup, MF_STRING, MENU_EDIT, L"&Edit action...");
    AppendMenuW(popup, MF_STRING, MENU_RUN, L"&Run action...");
    AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup, MF_STRING, MENU_EXIT, L"E&xit");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"&Plug-in");
    // The menu belongs to the window from here on and goes with it.
    main_ = CreateWindowExW(0, MAIN_CLASS, L"canvas-host", MAIN_STYLE, MAIN_LEFT, MAIN_TOP,
                            MAIN_FIRST_SIZE, MAIN_FIRST_SIZE, nullptr, bar,
                            GetModuleHandleW(nullptr), this);
    if (!main_) {
        DestroyMenu(bar);
        return false;
    }
    resize(DEFAULT_CLIENT_WIDTH, DEFAULT_CLIENT_HEIGHT);
    ShowWindow(main_, SW_SHOW);
    UpdateWindow(main_);
    // Without a window manager activation follows the program's own calls;
    // the plug-in's dialogs take the active window as their owner.
    SetForegroundWindow(main_);
    SetActiveWindow(main_);
    pump(0);
    return true;
}

bool App::resize(int width, int height) {
    // The menu bar may wrap, so the client size is checked and corrected.
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, MAIN_STYLE, TRUE, 0);
    for (int attempt = 0; attempt < MAIN_RESIZE_ATTEMPTS; ++attempt) {
        SetWindowPos(main_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        GetClientRect(main_, &client);
        if (client.right == width && client.bottom == height) {
            return true;
        }
        r.right += width - client.right;
        r.bottom += height - client.bottom;
    }
    return false;
}

void App::loop() {
    MSG msg;
    while (main_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::close() {
    if (!main_) {
        return;
    }
    // The plug-in hears that the host is closing before its objects go.
    if (plugin_.ok()) {
        int r = plugin_.message(MESSAGE_CLOSING, 0);
        console_.out("message " + std::to_string(MESSAGE_CLOSING) + " -> " + std::to_string(r));
    }
    DestroyWindow(main_);
}

//--- Objects

HWND App::object(const std::string& name) const {
    auto it = host_.objects.find(ansiFromUtf8(name));
    return it == host_.objects.end() ? nullptr : it->second;
}

bool App::createObject(const Command& c) {
    if (object(c.name)) {
        reportAt(c, "there is an object \"" + c.name + "\" already");
        return false;
    }
    // X, Y, W, H give the client area; the border lies around it.
    RECT r{c.x, c.y, c.x + c.width, c.y + c.height};
    AdjustWindowRectEx(&r, OBJECT_STYLE, FALSE, 0);
    HWND w = CreateWindowExW(0, OBJECT_CLASS, wideFromUtf8(c.name).c_str(), OBJECT_STYLE, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, main_, nullptr,
                             GetModuleHandleW(nullptr), this);
    if (!w) {
        reportAt(c, "cannot create the object's window");
        return false;
    }
    host_.objects[ansiFromUtf8(c.name)] = w;
    return true;
}

bool App::destroyObject(const Command& c) {
    auto it = host_.objects.find(ansiFromUtf8(c.name));
    if (it == host_.objects.end()) {
        reportAt(c, "there is no object \"" + c.name + "\"");
        return false;
    }
    DestroyWindow(it->second);
    host_.objects.erase(it);
    return true;
}

//--- Screenshots and message pumps

bool App::screenshot(const std::wstring& path) {
    pump(0);
    Picture picture;
    return captureWindow(main_, false, &picture) && savePng(path, picture);
}

void App::pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the outer loop
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds || !main_) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

//--- The menu and the window procedures

void App::onMenu(int id) {
    if (busy_ > 0) {
        MessageBeep(MB_OK);
        return;
    }
    if (id == MENU_EXIT) {
        close();
        return;
    }
    if (!plugin_.ok()) {
        console_.err("the plug-in is not loaded");
        return;
    }
    if (id == MENU_ABOUT) {
        const int r = call([&] { return plugin_.about(); });
        console_.out(withNotes("about -> " + std::to_string(r)));
        return;
    }
    std::vector<std::wstring> names;
    for (const ActionDef& a : host_.actions) {
        names.push_back(wide(a.name));
    }
    int index = 0;
    if (!chooseFromList(main_, id == MENU_EDIT ? L"Edit action" : L"Run action", names, &index)) {
        return;
    }
    const ActionDef& def = host_.actions[static_cast<size_t>(index)];
    auto it = current_.find(def.id);
    Slots slots = it != current_.end() ? it->second : slotsFrom(def, {});
    if (id == MENU_EDIT) {
        edit(def, &slots, "");
    } else {
        execute(def, slots, "");
    }
}

namespace {

// Fills the window's client area with its brush: the answer to
// WM_ERASEBKGND (TRUE: erased).
LRESULT eraseWith(HWND window, HDC dc, HBRUSH brush) {
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, brush);
    return TRUE;
}

} // namespace

LRESULT CALLBACK App::mainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    App* app = appOf(window, msg, lParam);
    if (!app) {
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_ERASEBKGND:
        return eraseWith(window, reinterpret_cast<HDC>(wParam), app->windowBrush_.get());
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) {
            app->onMenu(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        if (app->busy_ > 0) {
            MessageBeep(MB_OK);
        } else {
            app->close();
        }
        return 0;
    case WM_NCDESTROY:
        if (app->main_ == window) {
            app->main_ = nullptr;
            app->host_.objects.clear(); // their windows went with it
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

// An object paints its fill and, in the middle, its name; a canvas laid over
// it hides both.
LRESULT CALLBACK App::objectProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    App* app = appOf(window, msg, lParam);
    if (!app) {
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_ERASEBKGND:
        return eraseWith(window, reinterpret_cast<HDC>(wParam), app->objectBrush_.get());
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        wchar_t name[OBJECT_LABEL_CHARS] = {};
        GetWindowTextW(window, name, OBJECT_LABEL_CHARS);
        RECT r;
        GetClientRect(window, &r);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, LABEL_COLOUR);
        {
            ScopedSelect font(dc, GetStockObject(DEFAULT_GUI_FONT)); // stock, not owned
            DrawTextW(dc, name, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        EndPaint(window, &ps);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

} // namespace host
