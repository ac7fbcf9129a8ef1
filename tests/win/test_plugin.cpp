// The plug-in as a host sees it: loaded from canvas.nbp, registered through
// its exports, and the host-string exchange over real GlobalAlloc blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>

#include "canvas/action_table.h"
#include "canvas/actions_win.h"
#include "editor/editor_win.h"
#include "host/host_win.h"
#include "plugin/host_exchange_win.h"
#include "plugin/plugin_state_win.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/host_scene.h"
#include "tests/win/support/processes.h"

namespace {

class Loaded : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(plugin.ok()); }
    host::PluginModule plugin{L"canvas.nbp"};
    host::Host host;
};

TEST_F(Loaded, ExportsAllEightFunctions) {
    ASSERT_TRUE(plugin.ok()); // (and so does every test's set-up)
}

TEST_F(Loaded, RegistersEveryActionInOrder) {
    EXPECT_EQ(plugin.registerPlugIn(&host::Host::addActionProc, 7, 8, 9), 0);
    const std::tuple<int, const char*, const char*, std::vector<unsigned char>> expected[] = {
        {1, "kiv_CreateCanvas", "Prepara un objeto Rect\xE1ngulo con un color de fondo.", {8, 4}},
        {2, "kiv_DrawCircle", "Dibuja un c\xEDrculo en el lienzo.", {8, 3, 3, 3, 4}},
        {3, "kiv_ClearCanvas", "Borra todo el contenido del lienzo.", {8}},
        {4,
         "kiv_DrawText",
         "Dibuja texto con fuente, tama\xF1o y colores personalizados.",
         {8, 4, 3, 3, 4, 4, 4}},
    };
    ASSERT_EQ(host.actions.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const host::ActionDef& got = host.actions[i];
        const auto& [id, name, hint, types] = expected[i];
        EXPECT_EQ(got.id, id);
        EXPECT_EQ(got.name, name);
        EXPECT_EQ(got.hint, hint);
        EXPECT_EQ(got.types, types);
        EXPECT_EQ(got.count, static_cast<int>(types.size()));
        EXPECT_EQ(got.last, got.count - 1);
        // The name and hint stay valid after the call, in fixed blocks of
        // exactly their length plus the terminator.
        EXPECT_STREQ(got.namePtr, name);
        EXPECT_EQ(GlobalSize(GlobalHandle(got.hintPtr)), std::strlen(hint) + 1);
    }
}

TEST_F(Loaded, NullAddActionRegistersNothing) {
    EXPECT_EQ(plugin.registerPlugIn(nullptr, 0, 0, 0), 0);
    EXPECT_TRUE(host.actions.empty());
}

TEST_F(Loaded, InitHandsOverThreeStrings) {
    host::HostString t = nullptr, a = nullptr, d = nullptr;
    EXPECT_EQ(plugin.initPlugIn(0, &t, &a, &d), 0);
    ASSERT_TRUE(t && a && d);
    EXPECT_NE(t, a);
    EXPECT_NE(a, d);
    EXPECT_EQ(std::memcmp(t, "KivCanvas 2D (Final)", 21), 0);
    EXPECT_STREQ(a, "Kiv SDK Examples");
    EXPECT_STREQ(d, "Permite dibujar formas y texto dentro de rect\xE1ngulos.");
}

TEST_F(Loaded, InitSkipsNullAddresses) {
    host::HostString a = nullptr;
    EXPECT_EQ(plugin.initPlugIn(0, nullptr, &a, nullptr), 0);
    EXPECT_STREQ(a, "Kiv SDK Examples");
}

TEST_F(Loaded, OtherExportsAnswerZeroForBadArguments) {
    EXPECT_EQ(plugin.registerScriptProcessor(reinterpret_cast<void*>(0x1234)), 0);
    EXPECT_EQ(plugin.registerInterfaceAccess(nullptr), 0);
    host::Params params({"rect1", "1", "2", "3", ""});
    EXPECT_EQ(plugin.execAction(canvas::LAST_ACTION_ID + 1, params.data()), 0);
    EXPECT_EQ(plugin.execAction(0, params.data()), 0);
    EXPECT_EQ(plugin.execAction(1, nullptr), 0);
    EXPECT_EQ(plugin.editAction(0, params.data()), 0);
    EXPECT_EQ(plugin.editAction(2, nullptr), 0);
    EXPECT_EQ(plugin.message(5, 0), 0);
    // An empty canvas name ends every action before its id is looked at.
    host::Params empty({"", "$0000FF"});
    EXPECT_EQ(plugin.execAction(1, empty.data()), 0);
    EXPECT_TRUE(host.calls.empty());
}

//--- The diagnostic build: the same exports, and one line per 0.

// The OutputDebugString lines caught as a host without a debugger catches
// them: a vectored handler ends the exception the call raises (the wide
// one, or the ANSI one where that is all there is).
std::vector<std::wstring> g_debugLines;
LONG CALLBACK catchDebugLine(EXCEPTION_POINTERS* e) {
    const EXCEPTION_RECORD& r = *e->ExceptionRecord;
    const auto text = reinterpret_cast<const void*>(r.ExceptionInformation[1]);
    if (r.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
        g_debugLines.emplace_back(static_cast<const wchar_t*>(text));
    } else if (r.ExceptionCode == DBG_PRINTEXCEPTION_C) {
        const Text wide = fromHostString(static_cast<const char*>(text));
        g_debugLines.emplace_back(wide.begin(), wide.end());
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The same calls through the diagnostic build, which writes each 0's
// line, and through the product, which writes nothing.
TEST(DiagnosticBuild, WritesOneSpanishLinePerZero) {
    using Call = std::function<int(host::PluginModule&)>;
    auto exec = [](int id, const Slots& slots) -> Call {
        return [id, slots](host::PluginModule& plugin) { return runAction(plugin, id, slots); };
    };
    struct Row {
        const char* situation;
        Call call;
        const wchar_t* line; // null: carried out, nothing written
    };
    const Row rows[] = {
        {"draws before creating", exec(TEXT, {"r1", "hola", "1", "1", "", "", ""}),
         L"kiv_DrawText: no hay ningún lienzo llamado \"r1\""},
        {"an unknown object", exec(CREATE, {"nadie", ""}),
         L"kiv_CreateCanvas: el programa no da ninguna ventana para el objeto \"nadie\""},
        {"creates", exec(CREATE, {"rect", ""}), nullptr},
        {"a name's case wrong", exec(CIRCLE, {"Rect", "5", "5", "3", ""}),
         L"kiv_DrawCircle: no hay ningún lienzo llamado \"Rect\""},
        {"an empty name", exec(CLEAR, {""}),
         L"kiv_ClearCanvas: el nombre del objeto o del lienzo está vacío"},
        {"no such action", exec(9, {"rect"}),
         L"_nbExecAction: no hay ninguna acción con el número 9"},
        {"no parameter array", [](host::PluginModule& p) { return p.execAction(CLEAR, nullptr); },
         L"_nbExecAction: la matriz de parámetros es nula"},
        {"no array to edit", [](host::PluginModule& p) { return p.editAction(CLEAR, nullptr); },
         L"_nbEditAction: la matriz de parámetros es nula"},
        {"no action to edit",
         [](host::PluginModule& p) {
             host::Params params({"rect"});
             return p.editAction(0, params.data());
         },
         L"_nbEditAction: no hay ninguna acción con el número 0"},
    };
    const PVOID handler = AddVectoredExceptionHandler(1, &catchDebugLine);
    for (const bool diagnostic : {true, false}) {
        HostScene scene;
        host::Host host;
        host::PluginModule plugin(diagnostic ? L"diagnostico\\canvas.nbp" : L"canvas.nbp");
        ASSERT_TRUE(plugin.ok());
        host.connect(plugin);
        scene.addObject(host, "rect", 10, 10, 60, 40);
        for (const Row& row : rows) {
            g_debugLines.clear();
            EXPECT_EQ(row.call(plugin), row.line ? 0 : 1) << row.situation;
            std::vector<std::wstring> wanted;
            if (row.line && diagnostic) {
                wanted.push_back(std::wstring(row.line) + L"\n");
            }
            EXPECT_EQ(g_debugLines, wanted) << row.situation;
        }
    }
    RemoveVectoredExceptionHandler(handler);
}

//--- Host strings, exercised directly on the plug-in's glue.

TEST(HostString, SizesAndCodePage) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::tuple<const char*, Text, const char*, size_t> rows[] = {
        {"empty", u"", "", 1},
        {"accented", u"Objeto Rect\u00e1ngulo:", "Objeto Rect\xE1ngulo:", 19},
        {"more accents", u"c\u00edrculo tama\u00f1o", "c\xEDrculo tama\xF1o", 15},
        {"best fit for L-stroke, the euro sign's 1252 byte", u"\u0141\u20ac", "L\x80", 3},
    };
    for (const auto& [name, text, bytes, size] : rows) {
        SCOPED_TRACE(name);
        HostString s = toHostString(text);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(GlobalSize(GlobalHandle(s)), size);
        EXPECT_EQ(GlobalHandle(s), static_cast<HGLOBAL>(s)) << "a fixed block";
        EXPECT_STREQ(s, bytes);
        freeHostString(s);
    }
}

TEST(HostString, FromHost) {
    const char abc[] = {0x61, 0x62, 0x63, 0x00};
    const std::tuple<const char*, const char*, Text> rows[] = {
        {"null", nullptr, u""},
        {"plain bytes", abc, u"abc"},
        {"a 1252 accent", "Rect\xE1ngulo", u"Rect\u00e1ngulo"},
    };
    for (const auto& [name, bytes, text] : rows) {
        EXPECT_EQ(fromHostString(bytes), text) << name;
    }
}

TEST(HostString, SetParamStringReplacesAndFrees) {
    HostString slot = nullptr;
    setParamString(&slot, u"one");
    ASSERT_NE(slot, nullptr);
    EXPECT_STREQ(slot, "one");
    HostString first = slot;
    GlobalSpy spy(GetModuleHandleW(nullptr));
    setParamString(&slot, u"two");
    EXPECT_STREQ(slot, "two");
    EXPECT_EQ(spy.timesFreed(first), 1);
    ASSERT_EQ(spy.allocated.size(), 1u);
    EXPECT_EQ(spy.allocated[0], slot);
    freeHostString(slot);
}

//--- queryObjectWindow against a scripted host callback.

// The host answers command 7 with `result` and, when that is not 0,
// `reply` in place of the request (null: an emptied slot).
void answerWindowQueries(host::Host& host, int result, const char* reply) {
    host.answer = [=](int, HostString* slot) {
        if (result) {
            freeHostString(*slot); // replacing the request: the host frees it
            *slot = reply ? toHostString(fromHostString(reply)) : nullptr;
        }
        return result;
    };
    plugin::state().hostInterface = &host::Host::interfaceProc;
}

TEST(QueryObjectWindow, Replies) {
    const std::tuple<int, const char*, uint32_t> rows[] = {
        {1, "$1A2B", 6699}, {1, "  42", 42}, {1, "abc", 0},
        {1, nullptr, 0},    {0, nullptr, 0}, {1, "4294967297", 1},
    };
    for (const auto& [result, reply, expected] : rows) {
        SCOPED_TRACE(!result ? "unanswered" : reply ? reply : "an emptied slot");
        host::Host host;
        answerWindowQueries(host, result, reply);
        EXPECT_EQ(queryObjectWindow(u"Rect\u00e1ngulo 1"), expected);
        ASSERT_EQ(host.calls.size(), 1u);
        EXPECT_EQ(host.calls[0].command, HOST_CMD_OBJECT_WINDOW);
        EXPECT_EQ(host.calls[0].requestText, "Rect\xE1ngulo 1");
    }
    plugin::state().hostInterface = nullptr;
}

TEST(QueryObjectWindow, UnansweredRequestIsFreedByThePlugIn) {
    host::Host host;
    answerWindowQueries(host, 0, nullptr);
    GlobalSpy spy(GetModuleHandleW(nullptr));
    ASSERT_TRUE(spy.ok());
    EXPECT_EQ(queryObjectWindow(u"rect1"), 0u);
    ASSERT_EQ(spy.allocated.size(), 1u);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(spy.allocated[0], host.calls[0].request);
    EXPECT_EQ(spy.timesFreed(host.calls[0].request), 1);
    plugin::state().hostInterface = nullptr;
}

TEST(QueryObjectWindow, NoCallbackAsksNothing) {
    host::Host host;
    plugin::state().hostInterface = nullptr;
    GlobalSpy spy(GetModuleHandleW(nullptr));
    EXPECT_EQ(queryObjectWindow(u"rect1"), 0u);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(spy.allocated.empty());
}

//--- System DLLs come from the system directory

// In a host's folder with a DLL named msimg32.dll beside it, which Wine's
// loader is told to prefer (n,b), as Windows prefers the folder's file for
// a name without a path: the plug-in's first picture loads the system's.
TEST(PlantedDll, DISABLED_TheSystemsMsimg32IsTheOneLoaded) {
    const std::wstring planted = besideThisProgram(L"msimg32.dll");
    ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr) << "loaded before the plug-in";
    PluggedScene p;
    ASSERT_TRUE(p.plugin.ok());
    HWND object = p.scene.addObject(p.host, "a", 0, 0, 60, 40);
    ASSERT_EQ(runAction(p.plugin, CREATE, {"a", "$0000FF"}), 1);
    EXPECT_EQ(GetModuleHandleW(planted.c_str()), nullptr);
    wchar_t system[MAX_PATH] = {}, loaded[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(GetModuleFileNameW(GetModuleHandleW(L"msimg32.dll"), loaded, MAX_PATH));
    EXPECT_EQ(_wcsicmp(loaded, (std::wstring(system) + L"\\msimg32.dll").c_str()), 0);
    const CanvasPixels s = readCanvas(object);
    EXPECT_EQ(s.count(RED), s.pixels.size());
}

TEST(PlantedDll, TheSystemsMsimg32IsLoadedNotTheOneInTheHostsFolder) {
    const std::wstring folder = tempPath(L"planted");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\host.exe";
    const std::pair<std::wstring, std::wstring> files[] = {
        {thisProgram(), program},
        {besideThisProgram(L"canvas.nbp"), folder + L"\\canvas.nbp"},
        {besideThisProgram(L"planted\\msimg32.dll"), folder + L"\\msimg32.dll"}};
    for (const auto& [from, to] : files) {
        EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE));
    }
    wchar_t overrides[512] = {};
    GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 512);
    const Process child =
        runProgram(program, L"--gtest_also_run_disabled_tests --gtest_filter=PlantedDll.DISABLED_*",
                   {L"WINEDLLOVERRIDES=" + std::wstring(overrides) + L";msimg32=n,b"});
    EXPECT_TRUE(onePassed(child)) << child.out << child.err;
    for (const auto& file : files) {
        DeleteFileW(file.second.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace
