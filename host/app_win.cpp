#include "host/app_win.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>

#include "base/gdi_win.h"
#include "host/utf8.h"

namespace host {

namespace {

const wchar_t MAIN_CLASS[] = L"CanvasHostMain";
const wchar_t OBJECT_CLASS[] = L"CanvasHostObject";
const DWORD MAIN_STYLE = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
const DWORD OBJECT_STYLE = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
const COLORREF LABEL_COLOUR = RGB(96, 112, 140);
const int MAIN_LEFT = 32;
const int MAIN_TOP = 32;

//--- Text conversions (script and console are UTF-8, the plug-in ANSI)

std::wstring wideFromUtf8(const std::string& utf8) {
    std::u16string text;
    utf8ToUtf16(utf8, &text);
    return std::wstring(text.begin(), text.end());
}

std::string utf8FromWide(const std::wstring& text) {
    return utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string ansiFromUtf8(const std::string& utf8) {
    return ansi(wideFromUtf8(utf8));
}

std::string utf8FromAnsi(const char* bytes) {
    return utf8FromWide(wide(bytes ? bytes : ""));
}

const char* typeName(unsigned char code) {
    switch (code) {
    case 3:
        return "number";
    case 4:
        return "text";
    case 8:
        return "object";
    default:
        return nullptr;
    }
}

std::string lineTag(const Command& command) {
    return "line " + std::to_string(command.line) + ": ";
}

//--- A list to choose from, as a dialog built in memory

const WORD LIST_ID = 100;

// A dialog template in memory: the header, then DWORD-aligned items.
class DialogTemplate {
  public:
    DialogTemplate(const std::wstring& title, short cx, short cy, WORD items) {
        dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        dword(0);
        word(items);
        word(0);
        word(0);
        word(static_cast<WORD>(cx));
        word(static_cast<WORD>(cy));
        word(0); // no menu
        word(0); // the dialog class
        text(title);
        word(8);
        text(L"MS Shell Dlg");
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
              const std::wstring& caption) {
        if (data_.size() % 2) {
            word(0);
        }
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        for (short v : {x, y, cx, cy}) {
            word(static_cast<WORD>(v));
        }
        word(id);
        word(0xFFFF);
        word(classAtom);
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
};

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
            SendDlgItemMessageW(dialog, LIST_ID, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(item.c_str()));
        }
        SendDlgItemMessageW(dialog, LIST_ID, LB_SETCURSEL, 0, 0);
        return TRUE;
    }
    case WM_COMMAND: {
        auto* choice = reinterpret_cast<ListChoice*>(GetWindowLongPtrW(dialog, DWLP_USER));
        const int id = LOWORD(wParam);
        if (id == IDOK || (id == LIST_ID && HIWORD(wParam) == LBN_DBLCLK)) {
            auto sel = SendDlgItemMessageW(dialog, LIST_ID, LB_GETCURSEL, 0, 0);
            if (sel >= 0 && choice) {
                choice->index = static_cast<int>(sel);
                EndDialog(dialog, 1);
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
    DialogTemplate dlg(title, 180, 140, 3);
    dlg.item(WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 7, 7, 166,
             102, LIST_ID, 0x0083, L"");
    dlg.item(WS_TABSTOP | BS_DEFPUSHBUTTON, 66, 117, 50, 15, IDOK, 0x0080, L"OK");
    dlg.item(WS_TABSTOP | BS_PUSHBUTTON, 123, 117, 50, 15, IDCANCEL, 0x0080, L"Cancel");
    ListChoice choice{&items, -1};
    INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dlg.get(), owner, &listProc,
                                        reinterpret_cast<LPARAM>(&choice));
    if (r != 1 || choice.index < 0) {
        return false;
    }
    *index = choice.index;
    return true;
}

//--- App

App::App(PluginModule& plugin, Console console) : plugin_(plugin), console_(std::move(console)) {
    windowBrush_ = CreateSolidBrush(WINDOW_COLOUR);
    objectBrush_ = CreateSolidBrush(OBJECT_COLOUR);
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
    DeleteObject(windowBrush_);
    DeleteObject(objectBrush_);
}

void App::connect() {
    host_.connect(plugin_);
    console_.out("title: " + (host_.title ? utf8FromAnsi(host_.title) : "(null)"));
    console_.out("author: " + (host_.author ? utf8FromAnsi(host_.author) : "(null)"));
    console_.out("description: " +
                 (host_.description ? utf8FromAnsi(host_.description) : "(null)"));
    for (const ActionDef& a : host_.actions) {
        std::string types;
        for (unsigned char t : a.types) {
            const char* name = typeName(t);
            types += (types.empty() ? "" : ", ") +
                     (name ? std::string(name) : "type " + std::to_string(t));
        }
        console_.out("action " + std::to_string(a.id) + ": " + utf8FromAnsi(a.name.c_str()) + "(" +
                     types + ") - " + utf8FromAnsi(a.hint.c_str()));
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
    main_ = CreateWindowExW(0, MAIN_CLASS, L"canvas-host", MAIN_STYLE, MAIN_LEFT, MAIN_TOP, 100,
                            100, nullptr, bar, GetModuleHandleW(nullptr), this);
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
    for (int attempt = 0; attempt < 2; ++attempt) {
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

const ActionDef* App::action(const std::string& utf8Name) const {
    const std::string name = ansiFromUtf8(utf8Name);
    for (const ActionDef& a : host_.actions) {
        if (a.name == name) {
            return &a;
        }
    }
    return nullptr;
}

HWND App::object(const std::string& name) const {
    auto it = host_.objects.find(ansiFromUtf8(name));
    return it == host_.objects.end() ? nullptr : it->second;
}

bool App::check(const Script& script) {
    bool ok = true;
    for (const Command& c : script.commands) {
        if (c.op != Op::Action && c.op != Op::Edit) {
            continue;
        }
        const ActionDef* def = action(c.name);
        if (!def) {
            console_.err(lineTag(c) + "no action \"" + c.name + "\" is registered");
            ok = false;
        } else if (static_cast<int>(c.params.size()) > def->count) {
            console_.err(lineTag(c) + c.name + " takes " + std::to_string(def->count) +
                         " parameters, " + std::to_string(c.params.size()) + " given");
            ok = false;
        }
    }
    return ok;
}

bool App::run(const Script& script) {
    bool ok = true;
    for (const Command& c : script.commands) {
        if (!main_) {
            console_.err(lineTag(c) + "the main window was closed; the script stops here");
            return false;
        }
        ok = run(c) && ok;
    }
    return ok;
}

bool App::pluginGone(const Command& command) {
    if (plugin_.ok()) {
        return false;
    }
    console_.err(lineTag(command) + "the plug-in is not loaded");
    return true;
}

CloseWith App::closeFor(const Command& command) const {
    if (command.close == CloseWith::None && unattended) {
        return CloseWith::CloseBox;
    }
    return command.close;
}

bool App::modalDone(ModalWatch& watch, const Command& command) {
    watch.disarm();
    const bool asked = !command.capture.empty() || command.close != CloseWith::None;
    if (asked && !watch.problem().empty()) {
        console_.err(lineTag(command) + watch.problem());
    }
    return command.capture.empty() || watch.captured();
}

bool App::run(const Command& c) {
    switch (c.op) {
    case Op::Window:
        if (!resize(c.width, c.height)) {
            console_.err(lineTag(c) + "the window cannot take that client size");
            return false;
        }
        return true;
    case Op::Object:
        return createObject(c);
    case Op::Destroy:
        return destroyObject(c);
    case Op::Wait:
        pump(static_cast<DWORD>(c.value));
        return true;
    case Op::Screenshot:
        if (!screenshot(wideFromUtf8(c.name))) {
            console_.err(lineTag(c) + "cannot write the screenshot " + c.name);
            return false;
        }
        return true;
    case Op::Unload:
        plugin_.unload();
        console_.out("unload");
        return true;
    case Op::Message: {
        if (pluginGone(c)) {
            return false;
        }
        int r = call([&] { return plugin_.message(c.value, 0); });
        console_.out("message " + std::to_string(c.value) + " -> " + std::to_string(r));
        return true;
    }
    case Op::About: {
        if (pluginGone(c)) {
            return false;
        }
        int r;
        bool ok;
        {
            ModalWatch watch(wideFromUtf8(c.capture), closeFor(c));
            r = call([&] { return plugin_.about(); });
            ok = modalDone(watch, c);
        }
        console_.out("about -> " + std::to_string(r));
        return ok;
    }
    case Op::Action:
    case Op::Edit: {
        if (pluginGone(c)) {
            return false;
        }
        const ActionDef* def = action(c.name);
        if (!def) { // check() lets no such script run; kept for single commands
            console_.err(lineTag(c) + "no action \"" + c.name + "\" is registered");
            return false;
        }
        Slots slots = slotsFrom(*def, c.params);
        if (c.op == Op::Action) {
            current_[def->id] = slots;
            execute(*def, slots);
            return true;
        }
        ModalWatch watch(wideFromUtf8(c.capture), closeFor(c));
        edit(*def, &slots);
        return modalDone(watch, c);
    }
    }
    return false;
}

// Missing trailing parameters are null slots, which the plug-in reads as
// empty texts; a script writes "" for an empty string.
Slots App::slotsFrom(const ActionDef& def, const std::vector<std::string>& utf8Params) const {
    Slots slots(static_cast<size_t>(std::max(def.count, 1)));
    for (size_t i = 0; i < utf8Params.size() && i < slots.size(); ++i) {
        slots[i] = ansiFromUtf8(utf8Params[i]);
    }
    return slots;
}

namespace {

// The host's parameter array for the slots: fresh GlobalAlloc'd strings,
// freed by Params at the end of the call, whoever put them there.
std::vector<const char*> slotTexts(const Slots& slots) {
    std::vector<const char*> texts;
    for (const auto& s : slots) {
        texts.push_back(s ? s->c_str() : nullptr);
    }
    return texts;
}

} // namespace

void App::execute(const ActionDef& def, const Slots& slots) {
    Params params(slotTexts(slots));
    std::vector<HostString> before(params.data(), params.data() + params.size());
    int r = call([&] { return plugin_.execAction(def.id, params.data()); });
    console_.out(utf8FromAnsi(def.name.c_str()) + " -> " + std::to_string(r));
    for (size_t i = 0; i < params.size(); ++i) {
        if (params.slot(i) != before[i]) {
            console_.err("  " + utf8FromAnsi(def.name.c_str()) + " replaced parameter " +
                         std::to_string(i));
        }
    }
}

int App::edit(const ActionDef& def, Slots* slots) {
    Params params(slotTexts(*slots));
    int r = call([&] { return plugin_.editAction(def.id, params.data()); });
    console_.out("edit " + utf8FromAnsi(def.name.c_str()) + " -> " + std::to_string(r));
    Slots back;
    for (size_t i = 0; i < params.size(); ++i) {
        HostString s = params.slot(i);
        back.push_back(s ? std::optional<std::string>(s) : std::nullopt);
        console_.out("  " + std::to_string(i) + ": " + (s ? quote(utf8FromAnsi(s)) : "(null)"));
    }
    if (r == 1) {
        *slots = back;
        current_[def.id] = back;
    }
    return r;
}

bool App::createObject(const Command& c) {
    if (object(c.name)) {
        console_.err(lineTag(c) + "there is an object \"" + c.name + "\" already");
        return false;
    }
    // X, Y, W, H give the client area; the border lies around it.
    RECT r{c.x, c.y, c.x + c.width, c.y + c.height};
    AdjustWindowRectEx(&r, OBJECT_STYLE, FALSE, 0);
    HWND w = CreateWindowExW(0, OBJECT_CLASS, wideFromUtf8(c.name).c_str(), OBJECT_STYLE, r.left,
                             r.top, r.right - r.left, r.bottom - r.top, main_, nullptr,
                             GetModuleHandleW(nullptr), this);
    if (!w) {
        console_.err(lineTag(c) + "cannot create the object's window");
        return false;
    }
    host_.objects[ansiFromUtf8(c.name)] = w;
    return true;
}

bool App::destroyObject(const Command& c) {
    auto it = host_.objects.find(ansiFromUtf8(c.name));
    if (it == host_.objects.end()) {
        console_.err(lineTag(c) + "there is no object \"" + c.name + "\"");
        return false;
    }
    DestroyWindow(it->second);
    host_.objects.erase(it);
    return true;
}

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
        int r = plugin_.message(6, 0);
        console_.out("message 6 -> " + std::to_string(r));
    }
    DestroyWindow(main_);
}

//--- The host's pickers

bool App::pickObject(std::string* ansiName) {
    std::vector<std::wstring> items;
    std::vector<std::string> names;
    for (const auto& entry : host_.objects) {
        names.push_back(entry.first);
        items.push_back(wide(entry.first));
    }
    int index = 0;
    if (!chooseFromList(GetActiveWindow(), L"Choose an object", items, &index)) {
        return false;
    }
    *ansiName = names[static_cast<size_t>(index)];
    return true;
}

bool App::pickColour(COLORREF* colour) {
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = GetActiveWindow();
    cc.rgbResult = lastColour_;
    cc.lpCustColors = customColours_;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&cc)) {
        return false;
    }
    lastColour_ = cc.rgbResult;
    *colour = cc.rgbResult;
    return true;
}

//--- Windows of the host

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
        console_.out("about -> " + std::to_string(call([&] { return plugin_.about(); })));
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
        edit(def, &slots);
    } else {
        execute(def, slots);
    }
}

// The App a window was created for: kept on the window from WM_NCCREATE on.
static App* appOf(HWND window, UINT msg, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK App::mainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    App* app = appOf(window, msg, lParam);
    if (!app) {
        return DefWindowProcW(window, msg, wParam, lParam);
    }
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, app->windowBrush_);
        return 1;
    }
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
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, app->objectBrush_);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        wchar_t name[256] = {};
        GetWindowTextW(window, name, 256);
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

//--- The program

namespace {

std::wstring besideExe(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    dir = slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash + 1);
    return dir + file;
}

bool readFile(const std::wstring& path, std::string* bytes) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        return false;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes->append(buffer, n);
    }
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

const char USAGE[] = "usage: canvas-host [--plugin PATH] [--screenshot FILE.png] [--exit] [SCRIPT]";

} // namespace

int runCanvasHost(const std::vector<std::wstring>& args, const Console& console) {
    std::wstring pluginPath, shot, scriptPath;
    bool exitWhenDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if ((a == L"--plugin" || a == L"--screenshot") && i + 1 < args.size()) {
            (a == L"--plugin" ? pluginPath : shot) = args[++i];
        } else if (a == L"--exit") {
            exitWhenDone = true;
        } else if (a.compare(0, 2, L"--") == 0 || !scriptPath.empty()) {
            console.err(USAGE);
            return EXIT_BAD_SCRIPT;
        } else {
            scriptPath = a;
        }
    }
    if (pluginPath.empty()) {
        pluginPath = besideExe(L"canvas.nbp");
    }

    Script script;
    if (!scriptPath.empty()) {
        std::string text;
        if (!readFile(scriptPath, &text)) {
            console.err("cannot read the script " + utf8FromWide(scriptPath));
            return EXIT_BAD_SCRIPT;
        }
        script = parseScript(text);
        for (const ScriptError& e : script.errors) {
            console.err(utf8FromWide(scriptPath) + ": " + formatError(e));
        }
        if (!script.ok()) {
            return EXIT_BAD_SCRIPT;
        }
    }

    PluginModule plugin(pluginPath);
    if (!plugin.ok()) {
        console.err("cannot load the plug-in " + utf8FromWide(pluginPath) +
                    (plugin.handle() ? " (an export is missing)" : ""));
        return EXIT_NO_PLUGIN;
    }
    App app(plugin, console);
    app.unattended = exitWhenDone;
    app.connect();
    if (!app.check(script)) {
        return EXIT_BAD_SCRIPT;
    }
    if (!app.openMainWindow()) {
        console.err("cannot open the main window");
        return EXIT_RUN_FAILED;
    }
    bool ok = app.run(script);
    if (!shot.empty() && app.mainWindow() && !app.screenshot(shot)) {
        console.err("cannot write the screenshot " + utf8FromWide(shot));
        ok = false;
    }
    if (exitWhenDone) {
        app.close();
    } else {
        app.loop();
    }
    return ok ? EXIT_OK : EXIT_RUN_FAILED;
}

} // namespace host
