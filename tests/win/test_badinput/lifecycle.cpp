// Bad input, continued: the exports in every order, unloading under live
// canvases and loading again, the process ending, and attach doing the least.
#include "tests/win/test_badinput/badinput.h"

using namespace badinput;

namespace {

//--- Exports in every order -----------------------------------------------------------

TEST(Exports, EveryOrderWorksWithWhatExists) {
    HostScene scene;
    host::Host host;
    HWND o = scene.addObject(host, "rect", 0, 0, 40, 30);
    host::PluginModule plugin(L"canvas.nbp");
    ASSERT_TRUE(plugin.ok());
    // Nothing registered yet: no host to ask, nothing to draw on.
    EXPECT_EQ(plugin.message(2, 0), 0);
    EXPECT_EQ(plugin.message(6, 0), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 0);
    EXPECT_EQ(runAction(plugin, CIRCLE, {"rect", "1", "1", "1", ""}), 0);
    EXPECT_EQ(plugin.registerScriptProcessor(reinterpret_cast<void*>(-1)), 0);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(canvasWindowsIn(o).empty());

    // The callback alone is enough for canvases.
    EXPECT_EQ(plugin.registerInterfaceAccess(&host::Host::interfaceProc), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(plugin, CIRCLE, {"rect", "1", "1", "1", ""}), 1);
    // Switched off again: existing canvases still draw, new ones cannot be made.
    EXPECT_EQ(plugin.registerInterfaceAccess(nullptr), 0);
    EXPECT_EQ(runAction(plugin, CLEAR, {"rect"}), 1);
    scene.addObject(host, "other", 50, 0, 40, 30);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 0);
    EXPECT_EQ(plugin.registerInterfaceAccess(&host::Host::interfaceProc), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 1);

    // Registration after canvases exist and after a release, twice, a null callback between.
    EXPECT_EQ(plugin.message(6, 0), 0);
    EXPECT_EQ(runAction(plugin, CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(plugin, CREATE, {"other", ""}), 1);
    EXPECT_EQ(plugin.registerPlugIn(nullptr, 0, 0, 0), 0);
    EXPECT_EQ(plugin.registerPlugIn(&host::Host::addActionProc, 0, 0, 0), 0);
    EXPECT_EQ(plugin.registerPlugIn(&host::Host::addActionProc, 1, 2, 3), 0);
    const size_t actionCount = canvas::ACTION_COUNT;
    EXPECT_EQ(host.actions.size(), 2 * actionCount);
    host::HostString t1 = nullptr, t2 = nullptr;
    EXPECT_EQ(plugin.initPlugIn(0, &t1, nullptr, nullptr), 0);
    EXPECT_EQ(plugin.initPlugIn(0, &t2, nullptr, nullptr), 0);
    EXPECT_NE(t1, t2);
    EXPECT_STREQ(t1, "KivCanvas 2D (Final)") << "an earlier string stays valid";
    EXPECT_EQ(runAction(plugin, CLEAR, {"rect"}), 1) << "canvases survive registration";

    // The latest set (and the latest _nbInitPlugIn's author and description) is
    // freed at unload, each string once; the earlier set stays with the host.
    std::vector<const void*> latest = {t2};
    for (size_t i = actionCount; i < 2 * actionCount; ++i) {
        latest.push_back(host.actions[i].namePtr);
        latest.push_back(host.actions[i].hintPtr);
    }
    const std::vector<void*> freed = unloadFreeingEachOnce(plugin, latest);
    EXPECT_EQ(std::count(freed.begin(), freed.end(), t1), 0);
    EXPECT_EQ(std::count(freed.begin(), freed.end(), host.actions[0].namePtr), 0);
    EXPECT_STREQ(t1, "KivCanvas 2D (Final)");
}

TEST(Exports, UnloadWithoutAnyCallFreesNothing) {
    host::PluginModule plugin(L"canvas.nbp");
    ASSERT_TRUE(plugin.ok());
    GlobalSpy spy(plugin.handle());
    spy.moduleUnloading();
    plugin.unload();
    EXPECT_TRUE(spy.freed.empty());
    EXPECT_TRUE(spy.allocated.empty());
}

//--- Unloading under live canvases, and loading again -----------------------------------

TEST_F(Plugged, UnloadAndReloadUnderLiveAndOrphanedCanvases) {
    // What GDI has free without the plug-in loaded at all.
    plugin.reset();
    const int unloaded = gdiHeadroom();
    // AlphaBlend's library is loaded on first need, never at attach under the
    // loader lock, and kept at the unload.
    const bool hadMsimg32 = GetModuleHandleW(L"msimg32.dll") != nullptr;
    load();
    EXPECT_EQ(GetModuleHandleW(L"msimg32.dll") != nullptr, hadMsimg32) << "not loaded at attach";
    HWND kept = object("kept", 60, 40);
    HWND orphan = object("orphan", 60, 40);
    HWND doomed = object("doomed", 60, 40);
    for (const char* name : {"kept", "orphan", "doomed"}) {
        ASSERT_EQ(exec(CREATE, {name, "$0000FF"}), 1);
    }
    DestroyWindow(orphan);
    pumpMessages();
    EXPECT_EQ(exec(CIRCLE, {"orphan", "5", "5", "5", ""}), 1) << "drawn into its image";

    const HMODULE msimg32 = GetModuleHandleW(L"msimg32.dll");
    EXPECT_NE(msimg32, nullptr) << "loaded by the first picture";
    std::vector<std::wstring> classes;
    for (HWND o : {kept, doomed}) {
        classes.push_back(windowClass(canvasWindowIn(o)));
    }
    const HMODULE module = plugin->handle();

    unloadFreeingEachOnce(*plugin, registrationStrings(host));
    EXPECT_TRUE(canvasWindowsIn(kept).empty());
    EXPECT_TRUE(canvasWindowsIn(doomed).empty());
    EXPECT_EQ(gdiHeadroom(), unloaded) << "every GDI object the plug-in made is gone";
    for (const std::wstring& name : classes) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(GetClassInfoExW(module, name.c_str(), &wc)) << "a class left registered";
    }
    EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), msimg32) << "kept by the unload";
    // The host's windows paint and are destroyed without the plug-in's code.
    RedrawWindow(scene.main(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DestroyWindow(doomed);
    pumpMessages();

    // Loaded again: it knows no canvas, asks the host anew, and draws.
    load();
    EXPECT_EQ(host.actions.size(), static_cast<size_t>(canvas::ACTION_COUNT));
    const size_t asked = windowQueries(host);
    EXPECT_EQ(exec(CLEAR, {"kept"}), 0);
    EXPECT_EQ(exec(CREATE, {"kept", ""}), 1);
    EXPECT_EQ(windowQueries(host), asked + 1);
    EXPECT_EQ(exec(CIRCLE, {"kept", "30", "20", "10", "$0000FF"}), 1);
    const CanvasPixels s = readCanvas(kept);
    EXPECT_EQ(s.at(40, 20), RED);
    EXPECT_EQ(s.at(30, 20), WHITE);
    scene.addObject(host, "orphan", 0, 300, 30, 20);
    EXPECT_EQ(exec(CREATE, {"orphan", ""}), 1);
    EXPECT_EQ(canvasWindowsIn(host.objects["orphan"]).size(), 1u);
}

// The host destroys every object and canvas window before telling the plug-in.
TEST_F(Plugged, HostWindowGoneBeforeTheRelease) {
    canvasObject("a", 40, 30);
    canvasObject("b", 40, 30);
    DestroyWindow(scene.main());
    pumpMessages();
    EXPECT_EQ(exec(TEXT, {"a", "Hola", "1", "1", "", "", ""}), 1);
    EXPECT_EQ(plugin->message(6, 0), 0);
    EXPECT_EQ(exec(CLEAR, {"a"}), 0);
    EXPECT_EQ(exec(CREATE, {"a", ""}), 0) << "its window is gone for good";
}

//--- The process ending under live canvases --------------------------------------------

// At process exit other threads and DLLs may be gone, and the system reclaims all:
// the plug-in releases nothing, from DllMain or the runtime's destructors. The
// child ends inside a kiv_DrawText, everything live; each watched call then says so.
constexpr UINT CHILD_EXIT_CODE = 42;
const char EXIT_CALL_MARK[] = "<called by the plug-in at exit>";

// The calls watched in an import table: the releases of an unload, then from
// GET_DC on the calls into other DLLs that attach leaves to first use.
#define WATCHED_CALLS(ROW)                                                                         \
    ROW(GLOBAL_FREE, "kernel32.dll", GlobalFree)                                                   \
    ROW(FREE_LIBRARY, "kernel32.dll", FreeLibrary)                                                 \
    ROW(DESTROY_WINDOW, "user32.dll", DestroyWindow)                                               \
    ROW(UNREGISTER_CLASS, "user32.dll", UnregisterClassW)                                          \
    ROW(DESTROY_ICON, "user32.dll", DestroyIcon)                                                   \
    ROW(DESTROY_ACCELERATORS, "user32.dll", DestroyAcceleratorTable)                               \
    ROW(DELETE_OBJECT, "gdi32.dll", DeleteObject)                                                  \
    ROW(DELETE_DC, "gdi32.dll", DeleteDC)                                                          \
    ROW(GET_DC, "user32.dll", GetDC)                                                               \
    ROW(LOAD_IMAGE, "user32.dll", LoadImageW)                                                      \
    ROW(METRICS, "user32.dll", SystemParametersInfoW)                                              \
    ROW(CREATE_FONT, "gdi32.dll", CreateFontIndirectW)                                             \
    ROW(COMMON_CONTROLS, "comctl32.dll", InitCommonControlsEx)
#define WATCHED_ENUM(which, dll, function) which,
enum Watched { WATCHED_CALLS(WATCHED_ENUM) WATCHED_COUNT, FIRST_DEFERRED = GET_DC };
void* g_real[WATCHED_COUNT]; // the functions the hooks stand in front of
int g_calls[WATCHED_COUNT];  // how often each was called
bool g_exiting = false;      // set once the process has begun to end

struct WatchRow {
    const char* dll;
    const char* name;
    void* hook;
};
extern const WatchRow WATCHED[WATCHED_COUNT];

// Row `Which`'s hook: counts the call, reports it while the process ends, makes it.
template <Watched Which, typename R, typename... A> R WINAPI reportCall(A... args) {
    ++g_calls[Which];
    if (g_exiting) {
        const char* name = WATCHED[Which].name;
        DWORD written = 0;
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        WriteFile(out, EXIT_CALL_MARK, sizeof EXIT_CALL_MARK - 1, &written, nullptr);
        WriteFile(out, name, static_cast<DWORD>(std::strlen(name)), &written, nullptr);
        WriteFile(out, "\n", 1, &written, nullptr);
    }
    return reinterpret_cast<R(WINAPI*)(A...)>(g_real[Which])(args...);
}

// The hook of row `Which`, for a function of the type of the argument.
template <Watched Which, typename R, typename... A> void* hookFor(R(WINAPI*)(A...)) {
    return reinterpret_cast<void*>(&reportCall<Which, R, A...>);
}

#define WATCHED_ROW(which, dll, function) {dll, #function, hookFor<which>(&function)},
const WatchRow WATCHED[WATCHED_COUNT] = {WATCHED_CALLS(WATCHED_ROW)};

// Stands in for kiv_DrawText's glyph drawing and ends the process there, the
// pass open. (The text's own releases before it are not counted.)
BOOL WINAPI exitInsteadOfTextOut(HDC, int, int, LPCWSTR, int) {
    std::fflush(stdout);
    g_exiting = true;
    ExitProcess(CHILD_EXIT_CODE);
}

// Run only by the test below, as a process of its own.
TEST(ProcessEnd, DISABLED_EndsWithEverythingLive) {
    HostScene scene;
    host::Host host;
    auto* dll = new host::PluginModule(L"canvas.nbp"); // the process ends with it loaded
    ASSERT_TRUE(dll->ok());
    host.connect(*dll);
    scene.addObject(host, "a", 0, 0, 60, 40);
    scene.addObject(host, "b", 70, 0, 60, 40);
    ASSERT_EQ(runAction(*dll, CREATE, {"a", "$0000FF"}), 1);
    ASSERT_EQ(runAction(*dll, CREATE, {"b", ""}), 1);
    ASSERT_EQ(runAction(*dll, TEXT, {"b", "Hola", "1", "1", "", "", ""}), 1);
    const HMODULE module = dll->handle();
    for (int i = 0; i < WATCHED_COUNT; ++i) {
        g_real[i] = patchImport(module, WATCHED[i].dll, WATCHED[i].name, WATCHED[i].hook);
        // The plug-in frees no library (it keeps the system DLLs it loads); only
        // the 32-bit runtime's start-up code may import FreeLibrary, if at all.
        ASSERT_TRUE(g_real[i] || i == FREE_LIBRARY) << WATCHED[i].name << " is imported";
    }
    ASSERT_TRUE(patchImport(module, "gdi32.dll", "TextOutW",
                            reinterpret_cast<void*>(&exitInsteadOfTextOut)));
    runAction(*dll, TEXT, {"a", "Hola", "1", "1", "", "", ""});
    ADD_FAILURE() << "the process outlived its end";
}

TEST(ProcessEnd, EndsCleanlyWithItsOwnExitCodeWithoutTheUnloadsReleases) {
    const Process child = runOwnTests(L"ProcessEnd.DISABLED_*");
    EXPECT_NE(child.out.find("DISABLED_EndsWithEverythingLive"), std::string::npos) << child.out;
    EXPECT_EQ(child.exitCode, CHILD_EXIT_CODE) << child.out << child.err;
    EXPECT_EQ(child.out.find(EXIT_CALL_MARK), std::string::npos) << "called at process exit:\n"
                                                                 << child.out;
}

//--- Attach does the least ------------------------------------------------------------
// DllMain runs under the loader lock, where User32, GDI and the common controls do
// not belong: of the deferred rows above (this program's imports), attach makes none.

class Attach : public LinkedPluginTest {};

TEST_F(Attach, LeavesEveryCallIntoOtherDllsToFirstUse) {
    plugin::detach(); // the suite's attach, undone to be watched again
    const HMODULE self = GetModuleHandleW(nullptr);
    for (int i = FIRST_DEFERRED; i < WATCHED_COUNT; ++i) {
        g_real[i] = patchImport(self, WATCHED[i].dll, WATCHED[i].name, WATCHED[i].hook);
        ASSERT_TRUE(g_real[i]) << WATCHED[i].name;
    }
    plugin::attach(self);
    const std::vector<int> atAttach(g_calls + FIRST_DEFERRED, g_calls + WATCHED_COUNT);
    scene.addObject(host, "rect", 0, 0, 80, 40);
    EXPECT_EQ(runAction(CREATE, {"rect", ""}), 1);
    EXPECT_EQ(runAction(TEXT, {"rect", "Hola", "1", "1", "", "", "Arial,12,"}), 1);
    for (int i = FIRST_DEFERRED; i < WATCHED_COUNT; ++i) {
        patchImport(self, WATCHED[i].dll, WATCHED[i].name, g_real[i]);
        EXPECT_EQ(atAttach[i - FIRST_DEFERRED], 0) << WATCHED[i].name << " at attach";
        EXPECT_GT(g_calls[i], 0) << WATCHED[i].name << " by first use";
    }
    EXPECT_EQ(g_calls[COMMON_CONTROLS], 1);
    const ScreenDC screen;
    EXPECT_EQ(ui::screenDpi(), GetDeviceCaps(screen.get(), LOGPIXELSY)) << "the same DPI";
}

} // namespace
