// The reference host: its parameter arrays, its answers to the plug-in's
// queries, the script runner against the loaded canvas.nbp, its pickers and
// the unattended handling of modal boxes, and canvas-host.exe as a program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "canvas/action_table.h"
#include "host/app_win.h"
#include "host/program_win.h"
#include "host/encoding_win.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/host_app.h"
#include "tests/win/support/processes.h"
#include "tests/win/support/ui_driver.h"

// Screenshots are read back with stb's decoder, independent of the writer.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace {

using host::HostString;

void writeAll(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool loadPng(const std::wstring& path, host::Picture* picture) {
    const std::string bytes = readAll(path);
    int channels = 0;
    stbi_uc* rgb = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                         static_cast<int>(bytes.size()), &picture->width,
                                         &picture->height, &channels, 3);
    if (!rgb) {
        return false;
    }
    picture->rgb.assign(rgb, rgb + static_cast<size_t>(picture->width) * picture->height * 3);
    stbi_image_free(rgb);
    return true;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// What canvas-host prints for the plug-in's registration (UTF-8).
const std::vector<std::string> kRegistration = {
    "title: KivCanvas 2D (Final)",
    "author: Kiv SDK Examples",
    "description: Permite dibujar formas y texto dentro de rect\xC3\xA1ngulos.",
    "action 1: kiv_CreateCanvas(object, text) - Prepara un objeto Rect\xC3\xA1ngulo con un color "
    "de fondo.",
    "action 2: kiv_DrawCircle(object, number, number, number, text) - Dibuja un c\xC3\xADrculo en "
    "el lienzo.",
    "action 3: kiv_ClearCanvas(object) - Borra todo el contenido del lienzo.",
    "action 4: kiv_DrawText(object, text, number, number, text, text, text) - Dibuja texto con "
    "fuente, tama\xC3\xB1o y colores personalizados.",
};

//--- A modal box like the plug-in's, with its own message loop

enum class Ended { Running, Ok, Cancel, CloseBox, Timeout };

Ended g_ended = Ended::Running;
const COLORREF kBoxColour = RGB(40, 160, 90);
const UINT_PTR kGuardTimer = 77;

LRESULT CALLBACK boxProc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == 4) {
            g_ended = Ended::Ok;
        } else if (LOWORD(wParam) == 5) {
            g_ended = Ended::Cancel;
        }
        return 0;
    case WM_CLOSE: // the close box; the loop below destroys the window
        g_ended = Ended::CloseBox;
        return 0;
    case WM_TIMER:
        if (wParam == kGuardTimer) {
            g_ended = Ended::Timeout; // a hang guard, not a measurement
        }
        return 0;
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(w, &r);
        HBRUSH b = CreateSolidBrush(kBoxColour);
        FillRect(reinterpret_cast<HDC>(wParam), &r, b);
        DeleteObject(b);
        return 1;
    }
    default:
        return DefWindowProcW(w, msg, wParam, lParam);
    }
}

// Opens a captioned 300 x 120 box owned by the active window, with buttons
// "OK" (4) and "Cancelar" (5), and waits in its own loop until one of them
// or the close box ends it.
Ended runBox(const wchar_t* okCaption = L"OK") {
    static ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = boxProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TestModalBox";
        return RegisterClassW(&wc);
    }();
    EXPECT_NE(cls, 0);
    RECT r{0, 0, 300, 120};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    HWND box = CreateWindowExW(0, L"TestModalBox", L"Caja", WS_CAPTION | WS_SYSMENU, 200, 150,
                               r.right - r.left, r.bottom - r.top, GetActiveWindow(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    CreateWindowExW(0, L"Button", okCaption, WS_CHILD | WS_VISIBLE, 40, 80, 100, 25, box,
                    reinterpret_cast<HMENU>(4), nullptr, nullptr);
    CreateWindowExW(0, L"Button", L"Cancelar", WS_CHILD | WS_VISIBLE, 160, 80, 100, 25, box,
                    reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ShowWindow(box, SW_SHOWNORMAL);
    SetTimer(box, kGuardTimer, 30000, nullptr);
    g_ended = Ended::Running;
    MSG msg;
    while (g_ended == Ended::Running && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(box);
    return g_ended;
}

//--- Parameter arrays

TEST(Params, PointerSizedSlotsOfFixedBlocks) {
    host::Params params({"rect1", nullptr, "", "c\xEDrculo"});
    ASSERT_EQ(params.size(), 4u);
    HostString* data = params.data();
    // The slot of parameter i lies i pointers from the start (4 bytes in the
    // shipped 32-bit build).
    EXPECT_EQ(reinterpret_cast<char*>(&data[3]) - reinterpret_cast<char*>(data),
              static_cast<ptrdiff_t>(3 * sizeof(void*)));
#ifndef _WIN64
    static_assert(sizeof(HostString) == 4, "32-bit slots in the product");
#endif
    EXPECT_EQ(data[1], nullptr);
    const char* expected[] = {"rect1", nullptr, "", "c\xEDrculo"};
    for (size_t i = 0; i < 4; ++i) {
        if (!expected[i]) {
            continue;
        }
        ASSERT_NE(data[i], nullptr);
        EXPECT_STREQ(data[i], expected[i]);
        EXPECT_EQ(GlobalHandle(data[i]), static_cast<HGLOBAL>(data[i])) << "a fixed block";
        EXPECT_EQ(GlobalSize(GlobalHandle(data[i])), std::strlen(expected[i]) + 1);
    }
}

TEST(Params, FreesWhatItsSlotsHoldAtTheEnd) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    HostString replaced = nullptr, replacement = nullptr, kept = nullptr;
    {
        host::Params params({"one", "two", nullptr});
        kept = params.slot(0);
        replaced = params.slot(1);
        // What the plug-in does when it rewrites a slot: frees the old string
        // and leaves a new one that the host owns from then on.
        GlobalFree(params.data()[1]);
        replacement = host::allocString("dos");
        params.data()[1] = replacement;
        EXPECT_EQ(params.text(1), "dos");
        EXPECT_EQ(params.text(2), "");
    }
    // In this order: by the "plug-in", then the host's two slots. (The heap
    // may hand the freed block out again as the replacement.)
    EXPECT_EQ(spy.freed, (std::vector<void*>{replaced, kept, replacement}));
}

//--- The host's answers to the plug-in's queries

class HostApp : public HostAppTest {
  protected:
    host::Picture shot() {
        host::Picture p;
        EXPECT_TRUE(host::captureWindow(app.mainWindow(), false, &p));
        return p;
    }

    // Asks the host as the plug-in does: the request in a slot, then the
    // callback; returns the result, leaves the reply in `slot`.
    int ask(int command, const char* request, HostString* slot) {
        *slot = request ? host::allocString(request) : nullptr;
        const ModalGuard guard;
        return host::Host::interfaceProc(command, slot);
    }
    // Chooses a command of the host's menu.
    void menu(int command) {
        const ModalGuard guard;
        SendMessageW(app.mainWindow(), WM_COMMAND, command, 0);
    }
};

TEST_F(HostApp, PrintsTheRegistration) {
    ASSERT_GE(captured.out.size(), kRegistration.size());
    for (size_t i = 0; i < kRegistration.size(); ++i) {
        EXPECT_EQ(captured.out[i], kRegistration[i]);
    }
    EXPECT_EQ(app.host().actions.size(), static_cast<size_t>(canvas::ACTION_COUNT));
}

TEST_F(HostApp, ObjectsAreChildWindowsWhereTheScriptPutsThem) {
    ASSERT_TRUE(run("window 400 300\n"
                    "object \"Rect\xC3\xA1ngulo 1\" 10 20 100 80\n"
                    "object b 150 30 120 150\n"));
    RECT client;
    GetClientRect(app.mainWindow(), &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);

    HWND a = app.object("Rect\xC3\xA1ngulo 1");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetParent(a), app.mainWindow());
    RECT r;
    GetClientRect(a, &r);
    EXPECT_EQ(r.right, 100);
    EXPECT_EQ(r.bottom, 80);
    POINT origin{0, 0};
    MapWindowPoints(a, app.mainWindow(), &origin, 1);
    EXPECT_EQ(origin.x, 10);
    EXPECT_EQ(origin.y, 20);

    // The client areas are filled, framed by a border, on the window colour.
    host::Picture p = shot();
    ASSERT_EQ(p.width, 400);
    ASSERT_EQ(p.height, 300);
    const POINT inside[] = {{10, 20}, {109, 20}, {10, 99}, {109, 99}, {150, 30}, {269, 179}};
    for (POINT pt : inside) {
        EXPECT_EQ(p.at(pt.x, pt.y), host::OBJECT_COLOUR) << pt.x << "," << pt.y;
    }
    const POINT border[] = {{9, 50}, {110, 50}, {50, 19}, {50, 100}};
    for (POINT pt : border) {
        EXPECT_NE(p.at(pt.x, pt.y), host::OBJECT_COLOUR) << pt.x << "," << pt.y;
        EXPECT_NE(p.at(pt.x, pt.y), host::WINDOW_COLOUR) << pt.x << "," << pt.y;
    }
    EXPECT_EQ(p.at(5, 5), host::WINDOW_COLOUR);
    EXPECT_EQ(p.at(399, 299), host::WINDOW_COLOUR);
    EXPECT_EQ(p.at(130, 200), host::WINDOW_COLOUR);
}

TEST_F(HostApp, AnswersObjectWindowQueriesByAnsiName) {
    ASSERT_TRUE(run("object \"Rect\xC3\xA1ngulo 1\" 10 20 100 80\nobject b 150 30 120 150\n"));
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    HostString slot = nullptr;
    ASSERT_EQ(ask(7, "Rect\xE1ngulo 1", &slot), 1);
    void* request = spy.allocated.at(0);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(std::string(slot),
              std::to_string(reinterpret_cast<uintptr_t>(app.object("Rect\xC3\xA1ngulo 1"))));
    EXPECT_EQ(spy.timesFreed(request), 1) << "the host frees the request it replaces";
    host::freeString(slot);

    // Unknown names, wrong case and destroyed objects are not answered; the
    // request stays for the plug-in to free.
    for (const char* name : {"c", "B", "", "Rectangulo 1"}) {
        EXPECT_EQ(ask(7, name, &slot), 0) << name;
        EXPECT_STREQ(slot, name);
        host::freeString(slot);
    }
    ASSERT_TRUE(run("destroy b"));
    EXPECT_EQ(app.object("b"), nullptr);
    EXPECT_EQ(ask(7, "b", &slot), 0);
    host::freeString(slot);
    EXPECT_EQ(shot().at(150, 30), host::WINDOW_COLOUR);
}

TEST_F(HostApp, ObjectPickerRepliesTheChosenName) {
    ASSERT_TRUE(run("object \"zeta\" 0 0 10 10\nobject \"Rect\xC3\xA1ngulo\" 20 0 10 10\n"));
    GlobalSpy spy(GetModuleHandleW(nullptr));
    HostString slot = nullptr;
    {
        host::ModalWatch watch(tempPath(L"picker.png"), host::CloseWith::Ok);
        ASSERT_EQ(ask(1, "ObjectType=4", &slot), 1);
        EXPECT_TRUE(watch.captured()) << watch.problem();
    }
    void* request = spy.allocated.at(0);
    ASSERT_NE(slot, nullptr);
    EXPECT_STREQ(slot, "Rect\xE1ngulo"); // the first in the list
    EXPECT_EQ(spy.timesFreed(request), 1);
    host::freeString(slot);

    host::Picture box;
    ASSERT_TRUE(loadPng(tempPath(L"picker.png"), &box));
    EXPECT_GT(box.width, 150);
    EXPECT_GT(box.height, 100);
    DeleteFileW(tempPath(L"picker.png").c_str());

    for (host::CloseWith close : {host::CloseWith::Cancel, host::CloseWith::CloseBox}) {
        host::ModalWatch watch(L"", close);
        EXPECT_EQ(ask(1, "ObjectType=4", &slot), 0);
        EXPECT_TRUE(watch.sawBox());
        EXPECT_STREQ(slot, "ObjectType=4") << "an unanswered request is left alone";
        host::freeString(slot);
    }
}

TEST_F(HostApp, NoObjectsNoPicker) {
    HostString slot = nullptr;
    host::ModalWatch watch(L"", host::CloseWith::Ok);
    EXPECT_EQ(ask(1, "ObjectType=4", &slot), 0);
    EXPECT_FALSE(watch.sawBox());
    host::freeString(slot);
}

TEST_F(HostApp, ColourPickerRepliesBlueGreenRed) {
    HostString slot = nullptr;
    {
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        ASSERT_EQ(ask(10, nullptr, &slot), 1);
        EXPECT_TRUE(watch.sawBox());
    }
    ASSERT_NE(slot, nullptr);
    EXPECT_STREQ(slot, "$FF0000"); // the dialog starts on pure blue
    host::freeString(slot);
    {
        host::ModalWatch watch(L"", host::CloseWith::Cancel);
        EXPECT_EQ(ask(10, nullptr, &slot), 0);
        EXPECT_EQ(slot, nullptr);
    }
}

TEST_F(HostApp, ColourPickerOpensOnTheAskingFieldsColour) {
    // A form like the plug-in's editor: a colour field and its "..." button,
    // which has the focus once pressed.
    HWND form = CreateWindowExW(0, L"Static", L"form", WS_POPUP | WS_VISIBLE, 50, 50, 300, 100,
                                app.mainWindow(), nullptr, nullptr, nullptr);
    HWND field = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, form,
                                 nullptr, nullptr, nullptr);
    HWND button = CreateWindowExW(0, L"Button", L"...", WS_CHILD | WS_VISIBLE, 220, 10, 30, 20,
                                  form, nullptr, nullptr, nullptr);
    SetActiveWindow(form);
    const struct {
        const wchar_t* field;
        const char* reply; // the dialog's colour on opening, taken with OK
    } cases[] = {
        {L"$0000FF", "$0000FF"}, {L" 65280 ", "$00FF00"},
        {L"rojo", "$00FF00"}, // no colour in the field: the last choice
        {L"", "$00FF00"},        {L"$ff0080", "$FF0080"},
        {L"-1", "$FFFFFF"},
    };
    for (const auto& c : cases) {
        SetWindowTextW(field, c.field);
        SetFocus(button);
        HostString slot = nullptr;
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        EXPECT_EQ(ask(10, nullptr, &slot), 1);
        ASSERT_NE(slot, nullptr);
        EXPECT_STREQ(slot, c.reply) << std::string(c.field, c.field + wcslen(c.field));
        host::freeString(slot);
    }
    DestroyWindow(form);
}

// The host's lists are owned modal boxes of the main window: centred on it,
// wherever it is, and it is active again once they close.
TEST_F(HostApp, ListsCentreOnTheMainWindowAndHandActivationBack) {
    ASSERT_TRUE(run("object a 0 0 10 10\n"));
    HWND main = app.mainWindow();
    SetWindowPos(main, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const struct {
        const wchar_t* title;
        std::function<void()> open;
    } cases[] = {
        {L"Edit action", [&] { SendMessageW(main, WM_COMMAND, host::MENU_EDIT, 0); }},
        {L"Run action", [&] { SendMessageW(main, WM_COMMAND, host::MENU_RUN, 0); }},
        {L"Choose an object",
         [&] {
             HostString slot = nullptr;
             EXPECT_EQ(ask(1, "ObjectType=4", &slot), 0);
             host::freeString(slot);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.title, c.title + wcslen(c.title)));
        SetActiveWindow(main);
        RECT box{};
        HWND owner = nullptr;
        UserScript user{c.title, {[&](HWND list) {
                            GetWindowRect(list, &box);
                            owner = GetWindow(list, GW_OWNER);
                            SendMessageW(GetDlgItem(list, IDCANCEL), BM_CLICK, 0, 0);
                        }}};
        runDialog(user, [&] {
            c.open();
            return 0;
        });
        RECT frame{};
        GetWindowRect(main, &frame);
        EXPECT_EQ(owner, main);
        ASSERT_GT(box.right, box.left) << "the list was seen";
        EXPECT_NEAR(box.left + box.right, frame.left + frame.right, 2);
        EXPECT_NEAR(box.top + box.bottom, frame.top + frame.bottom, 2);
        pumpMessages();
        EXPECT_EQ(GetActiveWindow(), main);
    }
}

//--- The script runner, with the plug-in's exports stood in for where the
// test must see what the host hands over

struct Handed {
    int id = 0;
    std::vector<HostString> slots;
    std::vector<std::string> texts; // "(null)" for a null slot
    bool fixedBlocks = true;
};
std::vector<Handed> g_handed;
int g_editResult = 1;
bool g_aboutShowsBox = true;
Ended g_aboutEnded = Ended::Running;

Handed record(int id, HostString* params) {
    Handed h;
    h.id = id;
    int count = 0;
    for (const host::ActionDef& a : host::Host::current()->actions) {
        if (a.id == id) {
            count = a.count;
        }
    }
    for (int i = 0; i < count; ++i) {
        HostString s = params[i];
        h.slots.push_back(s);
        h.texts.push_back(s ? s : "(null)");
        if (s && (GlobalHandle(s) != static_cast<HGLOBAL>(s) ||
                  GlobalSize(GlobalHandle(s)) != std::strlen(s) + 1)) {
            h.fixedBlocks = false;
        }
    }
    return h;
}

// What the stand-in plug-in writes with OutputDebugString inside its calls.
std::function<void()> g_debugWrite;

int __stdcall fakeExec(int id, HostString* params) {
    g_handed.push_back(record(id, params));
    if (g_debugWrite) {
        g_debugWrite();
    }
    return id == 2 ? 1 : 0;
}

// Rewrites slot 0 as the plug-in's editor does on "OK".
int __stdcall fakeEdit(int id, HostString* params) {
    g_handed.push_back(record(id, params));
    if (g_debugWrite) {
        g_debugWrite();
    }
    if (g_editResult == 1) {
        GlobalFree(params[0]);
        params[0] = host::allocString("nuevo");
    }
    return g_editResult;
}

int g_aboutDepth = 0, g_aboutMaxDepth = 0;
HWND g_pokeWindow = nullptr; // the host's main window, poked while the box is up

int __stdcall fakeAbout() {
    g_aboutMaxDepth = std::max(g_aboutMaxDepth, ++g_aboutDepth);
    if (g_pokeWindow) {
        SendMessageW(g_pokeWindow, WM_COMMAND, host::MENU_ABOUT, 0);
        SendMessageW(g_pokeWindow, WM_CLOSE, 0, 0);
    }
    g_aboutEnded = g_aboutShowsBox ? runBox() : Ended::Running;
    --g_aboutDepth;
    return 0;
}

class Runner : public HostApp {
  protected:
    void SetUp() override {
        HostApp::SetUp();
        plugin.execAction = &fakeExec;
        plugin.editAction = &fakeEdit;
        plugin.about = &fakeAbout;
        g_handed.clear();
        g_editResult = 1;
        g_aboutShowsBox = true;
        g_pokeWindow = nullptr;
        g_aboutMaxDepth = 0;
        g_debugWrite = nullptr;
        captured.out.clear();
    }
    void TearDown() override { g_debugWrite = nullptr; }
};

// A diagnostic plug-in says why an action returned 0 with OutputDebugString;
// the host reads it with no debugger and shows it after the result.
TEST_F(Runner, DebugOutputOfTheCallFollowsItsResult) {
    const struct {
        const char* command;
        std::function<void()> write;
        const char* shown;
    } cases[] = {
        {"kiv_DrawText r1",
         [] { OutputDebugStringW(L"kiv_DrawText: no hay ning\u00fan lienzo llamado \"r1\""); },
         "kiv_DrawText -> 0 (no hay ning\xC3\xBAn lienzo llamado \"r1\")"},
        {"kiv_DrawText r1", [] { OutputDebugStringA("kiv_DrawText: sin lienzo \xE1\r\n"); },
         "kiv_DrawText -> 0 (sin lienzo \xC3\xA1)"},
        {"kiv_DrawText r1",
         [] {
             OutputDebugStringW(L"kiv_DrawCircle: a\nb\n\n");
             OutputDebugStringW(L"kiv_DrawText: c");
         },
         "kiv_DrawText -> 0 (kiv_DrawCircle: a; b; c)"},
        {"kiv_DrawText r1", [] {}, "kiv_DrawText -> 0"},
        {"edit kiv_ClearCanvas", [] { OutputDebugStringW(L"kiv_ClearCanvas: otro di\u00e1logo"); },
         "edit kiv_ClearCanvas -> 1 (otro di\xC3\xA1logo)"},
    };
    for (const auto& c : cases) {
        g_debugWrite = c.write;
        captured.out.clear();
        ASSERT_TRUE(run(c.command)) << captured.errors();
        ASSERT_FALSE(captured.out.empty());
        EXPECT_EQ(captured.out[0], c.shown) << c.command;
    }
    // Outside a call nothing is caught: the text goes where it always goes.
    OutputDebugStringW(L"nadie escucha");
}

TEST_F(Runner, ActionsGetEveryRegisteredSlotAsAnsiText) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    ASSERT_TRUE(run("kiv_DrawCircle \"Rect\xC3\xA1ngulo\" 50 \"\" # two missing\n"
                    "kiv_DrawText r \"c\xC3\xADrculo \\\"tama\xC3\xB1o\\\"\"\n"))
        << captured.errors();
    ASSERT_EQ(g_handed.size(), 2u);
    const Handed& circle = g_handed[0];
    EXPECT_EQ(circle.id, 2);
    EXPECT_EQ(circle.texts,
              (std::vector<std::string>{"Rect\xE1ngulo", "50", "", "(null)", "(null)"}));
    EXPECT_TRUE(circle.fixedBlocks);
    const Handed& text = g_handed[1];
    EXPECT_EQ(text.id, 4);
    ASSERT_EQ(text.texts.size(), 7u);
    EXPECT_EQ(text.texts[1], "c\xEDrculo \"tama\xF1o\"");
    EXPECT_EQ(captured.out, (std::vector<std::string>{"kiv_DrawCircle -> 1", "kiv_DrawText -> 0"}));
    // The host frees every string it handed over, once, after each call.
    std::vector<void*> handed;
    for (const Handed& h : g_handed) {
        for (HostString s : h.slots) {
            if (s) {
                handed.push_back(s);
            }
        }
    }
    EXPECT_EQ(spy.freed, handed);
}

TEST_F(Runner, EditReportsAndFreesWhatTheEditorGivesBack) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    ASSERT_TRUE(run("edit kiv_CreateCanvas \"viejo\"\n"));
    EXPECT_EQ(captured.out, (std::vector<std::string>{"edit kiv_CreateCanvas -> 1",
                                                      "  0: \"nuevo\"", "  1: (null)"}));
    ASSERT_EQ(g_handed.size(), 1u);
    // The old text freed by the editor, the new one by the host.
    ASSERT_EQ(spy.allocated.size(), 2u);
    EXPECT_EQ(spy.freed, (std::vector<void*>{g_handed[0].slots[0], spy.allocated[1]}));

    // On 0 the texts are reported unchanged.
    g_editResult = 0;
    captured.out.clear();
    ASSERT_TRUE(run("edit kiv_DrawText r \"a \\\"b\\\" c\\\\\"\n"));
    EXPECT_EQ(captured.out.at(0), "edit kiv_DrawText -> 0");
    EXPECT_EQ(captured.out.at(2), "  1: \"a \\\"b\\\" c\\\\\"");
    EXPECT_EQ(captured.out.size(), 8u);
}

TEST_F(Runner, MenuRunsAndEditsTheCurrentParameters) {
    ASSERT_TRUE(run("kiv_CreateCanvas \"r1\" \"$00FF00\"\n"));
    g_handed.clear();
    {
        // The menu offers the actions in a list; OK takes the first.
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        menu(host::MENU_EDIT);
        EXPECT_TRUE(watch.sawBox());
    }
    ASSERT_EQ(g_handed.size(), 1u);
    EXPECT_EQ(g_handed[0].texts, (std::vector<std::string>{"r1", "$00FF00"}));
    {
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        menu(host::MENU_RUN);
    }
    ASSERT_EQ(g_handed.size(), 2u);
    EXPECT_EQ(g_handed[1].texts, (std::vector<std::string>{"nuevo", "$00FF00"}))
        << "the edited texts are the current ones";
    {
        host::ModalWatch watch(L"", host::CloseWith::Cancel);
        menu(host::MENU_RUN);
    }
    EXPECT_EQ(g_handed.size(), 2u);
}

TEST_F(Runner, AboutBoxIsCapturedAndDismissedAsAsked) {
    const std::wstring file = tempPath(L"about.png");
    std::string script = "about capture=\"" + host::utf8FromWide(file) + "\" close=ok\n";
    ASSERT_TRUE(run(script)) << captured.errors();
    EXPECT_EQ(g_aboutEnded, Ended::Ok);
    EXPECT_EQ(captured.out, std::vector<std::string>{"about -> 0"});

    // The whole box with its frame: the client area lies inside it.
    host::Picture box;
    ASSERT_TRUE(loadPng(file, &box));
    DeleteFileW(file.c_str());
    RECT frame{0, 0, 300, 120};
    AdjustWindowRectEx(&frame, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    EXPECT_EQ(box.width, frame.right - frame.left);
    EXPECT_EQ(box.height, frame.bottom - frame.top);
    EXPECT_EQ(box.at(-frame.left + 5, -frame.top + 5), kBoxColour);
    EXPECT_NE(box.at(box.width / 2, 2), kBoxColour) << "the caption is there too";

    ASSERT_TRUE(run("about close=cancel"));
    EXPECT_EQ(g_aboutEnded, Ended::Cancel);
    ASSERT_TRUE(run("about close=closebox"));
    EXPECT_EQ(g_aboutEnded, Ended::CloseBox);
    app.unattended = true;
    ASSERT_TRUE(run("about"));
    EXPECT_EQ(g_aboutEnded, Ended::CloseBox);
}

TEST_F(Runner, PlugInIsNotEnteredAgainWhileItIsBusy) {
    // The box's loop dispatches the host's messages: menu and close box must
    // wait until the plug-in's call has returned.
    g_pokeWindow = app.mainWindow();
    ASSERT_TRUE(run("about close=ok"));
    EXPECT_EQ(g_aboutMaxDepth, 1);
    EXPECT_TRUE(IsWindow(app.mainWindow()));
    EXPECT_EQ(captured.out, std::vector<std::string>{"about -> 0"});
    g_pokeWindow = nullptr;
    SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(app.mainWindow(), nullptr);
}

TEST_F(Runner, ModalProblemsAreReported) {
    // A box without the asked button is closed all the same.
    {
        host::ModalWatch watch(L"", host::CloseWith::Ok);
        EXPECT_EQ(runBox(L"Aceptar"), Ended::CloseBox);
        EXPECT_NE(watch.problem().find("no OK button"), std::string::npos);
    }
    // No box at all: a capture fails the command, a close only notes it.
    g_aboutShowsBox = false;
    EXPECT_FALSE(run("about capture=never.png"));
    EXPECT_NE(captured.errors().find("line 1: no box appeared"), std::string::npos);
    captured.err.clear();
    EXPECT_TRUE(run("about close=ok"));
    EXPECT_EQ(captured.err.size(), 1u);
}

TEST_F(Runner, ScriptIsCheckedAgainstTheRegistration) {
    host::Script script = host::parseScript("kiv_DrawCircle r 1 2 3 4\n"
                                            "kiv_DrawCircle r 1 2 3 4 5\n"
                                            "wait 0\n"
                                            "kiv_Nothing r\n"
                                            "edit kiv_clearcanvas r\n");
    ASSERT_TRUE(script.ok());
    EXPECT_FALSE(app.check(script));
    EXPECT_EQ(captured.err, (std::vector<std::string>{
                                "line 2: kiv_DrawCircle takes 5 parameters, 6 given",
                                "line 4: no action \"kiv_Nothing\" is registered",
                                "line 5: no action \"kiv_clearcanvas\" is registered (did you mean "
                                "\"kiv_ClearCanvas\"?)",
                            }));
}

TEST_F(Runner, RuntimeFaultsAreReportedAndTheRestRuns) {
    EXPECT_FALSE(run("destroy nobody\n"
                     "object a 0 0 10 10\n"
                     "object a 5 5 10 10\n"
                     "screenshot \"Z:\\no\\such\\folder\\x.png\"\n"
                     "kiv_ClearCanvas a\n"));
    EXPECT_EQ(captured.err, (std::vector<std::string>{
                                "line 1: there is no object \"nobody\"",
                                "line 3: there is an object \"a\" already",
                                "line 4: cannot write the screenshot Z:\\no\\such\\folder\\x.png",
                            }));
    EXPECT_EQ(captured.out, std::vector<std::string>{"kiv_ClearCanvas -> 0"});
}

TEST_F(Runner, UnloadedPluginIsNotCalled) {
    captured.out.clear();
    EXPECT_FALSE(run("unload\nkiv_ClearCanvas a\nmessage 2\n"));
    EXPECT_FALSE(plugin.ok());
    EXPECT_EQ(captured.out, std::vector<std::string>{"unload"});
    EXPECT_EQ(captured.err.size(), 2u);
    EXPECT_TRUE(g_handed.empty());
}

TEST_F(Runner, ScreenshotCommandWritesTheClientArea) {
    const std::wstring file = tempPath(L"shot.png");
    ASSERT_TRUE(run("window 320 200\nobject a 300 180 40 40\nscreenshot \"" +
                    host::utf8FromWide(file) + "\"\n"));
    host::Picture p;
    ASSERT_TRUE(loadPng(file, &p));
    DeleteFileW(file.c_str());
    EXPECT_EQ(p.width, 320);
    EXPECT_EQ(p.height, 200);
    EXPECT_EQ(p.at(319, 199), host::OBJECT_COLOUR) << "objects reaching over the edge are cut";
    EXPECT_EQ(p.at(0, 0), host::WINDOW_COLOUR);
}

//--- The program's arguments and exit codes, in this process

TEST(CanvasHost, RefusesBadArgumentsAndScripts) {
    Captured c;
    EXPECT_EQ(host::runProgram({L"--frobnicate"}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(host::runProgram({L"a.script", L"b.script"}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(host::runProgram({L"no-such.script"}, c.console()), host::EXIT_BAD_SCRIPT);

    const std::wstring script = tempPath(L"bad.script");
    // Syntax errors, unknown actions and wrong parameter counts: all in one
    // round, each with the script's file name and line, and nothing runs.
    const std::string name = host::baseName(host::utf8FromWide(script));
    writeAll(script, "object a 0 0 10 10\nobject b 0 0 10\nkiv_Unknown a\nwait x\n"
                     "kiv_ClearCanvas a b\n");
    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--exit", script}, c.console()), host::EXIT_BAD_SCRIPT);
    EXPECT_EQ(c.err, (std::vector<std::string>{
                         name + ":2: usage: object NAME X Y W H",
                         name + ":3: no action \"kiv_Unknown\" is registered",
                         name + ":4: MS must be a whole number from 0 to 600000",
                         name + ":5: kiv_ClearCanvas takes 1 parameter, 2 given",
                     }));
    EXPECT_EQ(c.out.size(), kRegistration.size()) << "the registration only: nothing ran";
    DeleteFileW(script.c_str());

    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--plugin", L"missing.nbp", L"--exit"}, c.console()),
              host::EXIT_NO_PLUGIN);
    EXPECT_EQ(c.err, std::vector<std::string>{"cannot load the plug-in missing.nbp"});
    // A DLL without the exports is not a plug-in.
    c.err.clear();
    EXPECT_EQ(host::runProgram({L"--plugin", L"kernel32.dll", L"--exit"}, c.console()),
              host::EXIT_NO_PLUGIN);
    EXPECT_NE(c.errors().find("an export is missing"), std::string::npos);
}

//--- canvas-host.exe as a separate process

// Runs canvas-host.exe from this folder.
Process runExe(const std::wstring& args) {
    return runProgram(besideThisProgram(L"canvas-host.exe"), args);
}

TEST(CanvasHostExe, RunsAScriptAndSavesTheWindow) {
    const std::wstring script = tempPath(L"scene.script");
    const std::wstring png = tempPath(L"scene.png");
    writeAll(script, "# a scene\n"
                     "window 320 240\n"
                     "object \"Rect\xC3\xA1ngulo 1\" 10 20 100 80\n"
                     "object b 150 30 120 150\n"
                     "object gone 10 150 60 60\n"
                     "kiv_CreateCanvas \"Rect\xC3\xA1ngulo 1\" \"$0000FF\"\n"
                     "destroy gone\n");
    Process p =
        runExe(L"--plugin canvas.nbp --screenshot \"" + png + L"\" --exit \"" + script + L"\"");
    EXPECT_EQ(p.exitCode, 0u) << p.err;
    std::vector<std::string> lines = splitLines(p.out);
    ASSERT_EQ(lines.size(), kRegistration.size() + 2) << p.out;
    for (size_t i = 0; i < kRegistration.size(); ++i) {
        EXPECT_EQ(lines[i], kRegistration[i]);
    }
    // Results carry the script's file name and line.
    EXPECT_EQ(lines[kRegistration.size()],
              host::baseName(host::utf8FromWide(script)) + ":6: kiv_CreateCanvas -> 1");
    EXPECT_EQ(lines.back(), "message 6 -> 0");

    host::Picture shot;
    ASSERT_TRUE(loadPng(png, &shot));
    EXPECT_EQ(shot.width, 320);
    EXPECT_EQ(shot.height, 240);
    // A canvas, once made, covers its object's client area exactly.
    const COLORREF first = RGB(255, 0, 0);
    const POINT corners[] = {{10, 20}, {109, 20}, {10, 99}, {109, 99}};
    for (POINT pt : corners) {
        EXPECT_EQ(shot.at(pt.x, pt.y), first) << pt.x << "," << pt.y;
    }
    EXPECT_EQ(shot.at(150, 30), host::OBJECT_COLOUR);
    EXPECT_EQ(shot.at(269, 179), host::OBJECT_COLOUR);
    EXPECT_NE(shot.at(9, 50), first) << "the border stays outside";
    EXPECT_EQ(shot.at(20, 160), host::WINDOW_COLOUR) << "the destroyed object is gone";
    EXPECT_EQ(shot.at(300, 5), host::WINDOW_COLOUR);
    DeleteFileW(script.c_str());
    DeleteFileW(png.c_str());
}

// The diagnostic build says why each 0, and the host shows it after the
// result; the product, the same script, says nothing.
TEST(CanvasHostExe, ShowsTheDiagnosticBuildsReasonBesideEachZero) {
    const std::wstring script = tempPath(L"zeros.script");
    const std::string name = host::baseName(host::utf8FromWide(script));
    writeAll(script, "object a 0 0 50 50\n"
                     "kiv_DrawText \"r1\" \"x\"\n"
                     "kiv_CreateCanvas nadie \"\"\n"
                     "kiv_CreateCanvas a \"$0000FF\"\n");
    const struct {
        const wchar_t* plugin;
        std::vector<std::string> results;
    } cases[] = {
        {L"diagnostico\\canvas.nbp",
         {":2: kiv_DrawText -> 0 (no hay ning\xC3\xBAn lienzo llamado \"r1\")",
          ":3: kiv_CreateCanvas -> 0 (el programa no da ninguna ventana para el "
          "objeto \"nadie\")",
          ":4: kiv_CreateCanvas -> 1"}},
        {L"canvas.nbp",
         {":2: kiv_DrawText -> 0", ":3: kiv_CreateCanvas -> 0", ":4: kiv_CreateCanvas -> 1"}},
    };
    for (const auto& c : cases) {
        Process p = runExe(L"--plugin " + std::wstring(c.plugin) + L" --exit \"" + script + L"\"");
        EXPECT_EQ(p.exitCode, 0u) << p.err;
        std::vector<std::string> results;
        for (const std::string& line : splitLines(p.out)) {
            if (line.rfind(name + ":", 0) == 0) {
                results.push_back(line.substr(name.size()));
            }
        }
        EXPECT_EQ(results, c.results);
    }
    DeleteFileW(script.c_str());
}

TEST(CanvasHostExe, DrawsTheDemoScene) {
    const std::wstring png = tempPath(L"demo.png");
    const std::string source = CANVAS_SOURCE_DIR "/examples/demo.script";
    Process p = runExe(L"--plugin canvas.nbp --screenshot \"" + png + L"\" --exit \"" +
                       std::wstring(source.begin(), source.end()) + L"\"");
    EXPECT_EQ(p.exitCode, 0u) << p.err;
    // Every action of the scene was carried out; results name their lines.
    int actions = 0;
    for (const std::string& line : splitLines(p.out)) {
        if (line.rfind("demo.script:", 0) == 0 && line.find(": kiv_") != std::string::npos) {
            EXPECT_EQ(line.substr(line.size() - 4), "-> 1") << line;
            ++actions;
        }
    }
    EXPECT_GE(actions, 20);
    EXPECT_NE(p.out.find("\ndemo.script:13: kiv_CreateCanvas -> 1\n"), std::string::npos) << p.out;
    host::Picture shot;
    ASSERT_TRUE(loadPng(png, &shot));
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    struct Pixel {
        int x, y;
        COLORREF colour;
        const char* what;
    };
    // An object's client area starts at its declared position, and so does
    // the canvas laid over it.
    const Pixel expected[] = {
        {16 + 5, 16 + 130, RGB(255, 255, 255), "lienzo1: white background"},
        {16 + 284, 16 + 136, RGB(255, 0, 0), "lienzo1: red circle, right point"},
        {16 + 184, 16 + 196, RGB(0, 160, 0), "lienzo1: green circle, bottom point"},
        {16 + 164, 16 + 136, RGB(0, 0, 255), "lienzo1: blue circle, left point"},
        {400 + 200, 16 + 250, RGB(255, 255, 192), "lienzo2: pale yellow background"},
        {400 + 350, 16 + 200, RGB(0, 0, 0), "lienzo2: black circle, right point"},
        {16 + 5, 304 + 130, RGB(0, 48, 96), "lienzo3: dark blue background"},
        {16 + 304, 304 + 150, RGB(255, 255, 255), "lienzo3: white circle, right point"},
        {400 + 120, 304 + 230, RGB(255, 255, 255), "lienzo4: the circle was cleared"},
        {400 + 200, 304 + 150, RGB(255, 255, 255), "lienzo4: white after clearing"},
    };
    for (const Pixel& px : expected) {
        EXPECT_EQ(shot.at(px.x, px.y), px.colour) << px.what;
    }
    DeleteFileW(png.c_str());
}

} // namespace
