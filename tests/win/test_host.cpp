// The reference host: its parameter arrays, its answers and pickers for the
// plug-in's queries, its script runner, and canvas-host.exe as a program.
#include "tests/win/test_host/host_tests.h"

// Screenshots are read back with stb's decoder, independent of the writer.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

namespace hosttests {

void writeAll(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

bool takePng(const std::wstring& path, host::Picture* picture) {
    const std::string bytes = readAll(path);
    DeleteFileW(path.c_str());
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

namespace {

Ended g_ended = Ended::Running;
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
    default:
        return DefWindowProcW(w, msg, wParam, lParam);
    }
}

} // namespace

Ended runBox(const wchar_t* okCaption) {
    static ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = boxProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TestModalBox";
        wc.hbrBackground = CreateSolidBrush(kBoxColour);
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

std::string HostApp::replyTo(int command, const char* request) {
    GlobalSpy spy(GetModuleHandleW(nullptr));
    EXPECT_TRUE(spy.ok());
    HostString slot = nullptr;
    EXPECT_EQ(ask(command, request, &slot), 1);
    EXPECT_EQ(spy.timesFreed(spy.allocated.at(0)), 1) << "the host frees the request it replaces";
    const std::string reply = slot ? slot : "(no reply)";
    host::freeString(slot);
    return reply;
}

void HostApp::expectAnswer(const Answer& a) {
    const char* const closes[] = {"", "OK", "Cancel", "the close box"};
    SCOPED_TRACE(std::string(a.what) + ", closed with " + closes[static_cast<int>(a.close)]);
    HostString slot = nullptr;
    host::ModalWatch watch(L"", a.close);
    EXPECT_EQ(ask(a.command, a.request, &slot), a.result);
    EXPECT_EQ(watch.sawBox(), a.box);
    EXPECT_STREQ(slot, a.reply);
    host::freeString(slot);
}

} // namespace hosttests

using namespace hosttests;

namespace {

//--- Parameter arrays

TEST(Params, PointerSizedSlotsOfFixedBlocks) {
    const std::vector<const char*> expected = {"rect1", nullptr, "", "c\xEDrculo"};
    host::Params params(expected);
    ASSERT_EQ(params.size(), 4u);
    HostString* data = params.data();
    // Slot i lies i pointers from the start (4 bytes in the shipped build).
    EXPECT_EQ(reinterpret_cast<char*>(&data[3]) - reinterpret_cast<char*>(data),
              static_cast<ptrdiff_t>(3 * sizeof(void*)));
#ifndef _WIN64
    static_assert(sizeof(HostString) == 4, "32-bit slots in the product");
#endif
    EXPECT_EQ(data[1], nullptr);
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

TEST_F(HostApp, PrintsTheRegistration) {
    ASSERT_GE(captured.out.size(), kRegistration.size());
    const auto& out = captured.out;
    EXPECT_EQ(std::vector<std::string>(out.begin(), out.begin() + kRegistration.size()),
              kRegistration);
    EXPECT_EQ(app.host().actions.size(), static_cast<size_t>(canvas::ACTION_COUNT));
}

TEST_F(HostApp, ObjectsAreChildWindowsWhereTheScriptPutsThem) {
    ASSERT_TRUE(run("window 400 300\n"
                    "object \"Rect\xC3\xA1ngulo 1\" 10 20 100 80\n"
                    "object b 150 30 120 150\n"));
    EXPECT_EQ(clientRect(app.mainWindow()), (RECT{0, 0, 400, 300}));
    HWND a = app.object("Rect\xC3\xA1ngulo 1");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetParent(a), app.mainWindow());
    RECT r = clientRect(a);
    MapWindowPoints(a, app.mainWindow(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r, (RECT{10, 20, 110, 100})) << "100 x 80 at (10, 20)";

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
    EXPECT_EQ(replyTo(7, "Rect\xE1ngulo 1"),
              std::to_string(reinterpret_cast<uintptr_t>(app.object("Rect\xC3\xA1ngulo 1"))));

    // Unknown names, wrong case and destroyed objects: no answer, the request
    // stays for the plug-in to free.
    for (const char* name : {"c", "B", "", "Rectangulo 1"}) {
        expectAnswer({name, 7, name, Close::Ok, 0, false, name});
    }
    ASSERT_TRUE(run("destroy b"));
    EXPECT_EQ(app.object("b"), nullptr);
    expectAnswer({"destroyed", 7, "b", Close::Ok, 0, false, "b"});
    EXPECT_EQ(shot().at(150, 30), host::WINDOW_COLOUR);
}

TEST_F(HostApp, ObjectPickerRepliesTheChosenName) {
    ASSERT_TRUE(run("object \"zeta\" 0 0 10 10\nobject \"Rect\xC3\xA1ngulo\" 20 0 10 10\n"));
    {
        host::ModalWatch watch(tempPath(L"picker.png"), host::CloseWith::Ok);
        EXPECT_EQ(replyTo(1, kPickObject), "Rect\xE1ngulo"); // the first in the list
        EXPECT_TRUE(watch.captured()) << watch.problem();
    }
    host::Picture box;
    ASSERT_TRUE(takePng(tempPath(L"picker.png"), &box));
    EXPECT_GT(box.width, 150);
    EXPECT_GT(box.height, 100);

    for (Close close : {Close::Cancel, Close::CloseBox}) {
        expectAnswer(
            {"unanswered, the request left alone", 1, kPickObject, close, 0, true, kPickObject});
    }
}

TEST_F(HostApp, NoObjectsNoPicker) {
    expectAnswer({"no objects", 1, kPickObject, Close::Ok, 0, false, kPickObject});
}

TEST_F(HostApp, ColourPickerRepliesBlueGreenRed) {
    // The dialog starts on pure blue.
    expectAnswer({"a colour", 10, nullptr, Close::Ok, 1, true, "$FF0000"});
    expectAnswer({"no colour", 10, nullptr, Close::Cancel, 0, true, nullptr});
}

TEST_F(HostApp, ColourPickerOpensOnTheAskingFieldsColour) {
    // A form like the editor's: a colour field and its "..." button, focused.
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
        const std::string what(c.field, c.field + wcslen(c.field));
        expectAnswer({what.c_str(), 10, nullptr, Close::Ok, 1, true, c.reply});
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
             EXPECT_EQ(ask(1, kPickObject, &slot), 0);
             host::freeString(slot);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.title, c.title + wcslen(c.title)));
        SetActiveWindow(main);
        Placement list;
        UserScript user{c.title, {[&](HWND w) {
                            list = placementOf(w);
                            SendMessageW(GetDlgItem(w, IDCANCEL), BM_CLICK, 0, 0);
                        }}};
        runDialog(user, [&] {
            c.open();
            return 0;
        });
        const RECT box = list.frame, frame = windowRect(main);
        EXPECT_EQ(list.owner, main);
        ASSERT_GT(box.right, box.left) << "the list was seen";
        EXPECT_NEAR(box.left + box.right, frame.left + frame.right, 2);
        EXPECT_NEAR(box.top + box.bottom, frame.top + frame.bottom, 2);
        pumpMessages();
        EXPECT_EQ(GetActiveWindow(), main);
    }
}

} // namespace
