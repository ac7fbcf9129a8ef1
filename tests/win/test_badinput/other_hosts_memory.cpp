// Bad input, continued: unlike hosts, running out of memory, the whole matrix again.
#include "tests/win/test_badinput/badinput.h"

using namespace badinput;

namespace {

//--- Hosts unlike the reference host, each in a process of its own --------------------
// One holds the shared GCC runtime (beside the 32-bit tests) before the plug-in,
// as a MinGW-built host does; one gets no block of 64 KB or more (the DLL's malloc
// import, patched), its address space used up; one unloads from another thread.

const wchar_t PRELOAD_FLAG[] = L" --preload-shared-runtime";
decltype(&std::malloc) g_realMalloc = nullptr;
long g_failedMallocs = 0;
void* failingMalloc(size_t size) {
    return size < 0x10000 ? g_realMalloc(size) : (++g_failedMallocs, nullptr);
}

// The plug-in loaded (after the shared runtime when the parent asks) with
// a canvas on object "a".
struct ChildHost {
    ChildHost() {
        if (std::wstring(GetCommandLineW()).find(PRELOAD_FLAG) != std::wstring::npos) {
            EXPECT_TRUE(
                LoadLibraryExW(besideThisProgram(L"shared-runtime\\libgcc_s_dw2-1.dll").c_str(),
                               nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        }
        dll = std::make_unique<host::PluginModule>(L"canvas.nbp");
        host.connect(*dll);
        object = scene.addObject(host, "a", 0, 0, 60, 40);
        EXPECT_EQ(runAction(*dll, CREATE, {"a", "$0000FF"}), 1);
    }
    // Runs `work` out of memory; then the host goes on.
    void outOfMemory(const std::function<void()>& work) {
        g_realMalloc = reinterpret_cast<decltype(g_realMalloc)>(patchImport(
            dll->handle(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(&failingMalloc)));
        work();
        patchImport(dll->handle(), "msvcrt.dll", "malloc", reinterpret_cast<void*>(g_realMalloc));
        EXPECT_GT(g_failedMallocs, 0) << "ran out of memory";
        EXPECT_EQ(runAction(*dll, CIRCLE, {"a", "30", "20", "10", "$FFFFFF"}), 1);
    }
    HostScene scene;
    host::Host host;
    std::unique_ptr<host::PluginModule> dll;
    HWND object = nullptr;
};

// Run only by the test below, each as a process of its own.
TEST(ChildProcess, DISABLED_ExportRunsOutOfMemory) {
    ChildHost child;
    child.outOfMemory([&] {
        EXPECT_EQ(runAction(*child.dll, CREATE, {repeat('n', MEGABYTE), ""}), 0);
    });
}

TEST(ChildProcess, DISABLED_MessageRunsOutOfMemory) {
    ChildHost child;
    // A bitmap of the screen's format: only its pixels tell whether it has
    // alpha, and reading them takes a block too large to be had.
    const ScreenDC screen;
    const GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), 256, 128));
    HWND picture = FindWindowExW(canvasWindowIn(child.object), nullptr, L"Static", nullptr);
    child.outOfMemory([&] {
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
    });
}

// The windows the unload could not destroy keep no (class) procedure in the DLL:
// each picture has the one it displaced back, a host's subclass's included. They
// paint, take clicks and go; loaded again, the DLL's canvases get its own procedure.
TEST(ChildProcess, DISABLED_UnloadFromAnotherThread) {
    ChildHost child;
    HWND canvas = canvasWindowIn(child.object);
    HWND picture = FindWindowExW(canvas, nullptr, L"Static", nullptr);
    child.scene.addObject(child.host, "c", 140, 0, 60, 40);
    const auto spied = subclassWhile(L"Static", [&] {
        EXPECT_EQ(runAction(*child.dll, CREATE, {"c", ""}), 1);
    });
    ASSERT_EQ(spied.size(), 1u);
    const std::pair<HWND, LONG_PTR> displaced[] = {
        {picture, GetClassLongPtrW(picture, GCLP_WNDPROC)},
        {spied[0]->hwnd, reinterpret_cast<LONG_PTR>(spied[0]->own)},
    };
    const LONG_PTR toolkitProc = GetWindowLongPtrW(canvas, GWLP_WNDPROC);
    const HMODULE loadedAt = child.dll->handle();
    const auto base = reinterpret_cast<uintptr_t>(loadedAt);
    const uintptr_t end =
        base + reinterpret_cast<const IMAGE_NT_HEADERS*>(
                   base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew)
                   ->OptionalHeader.SizeOfImage;
    std::thread([&] { child.dll->unload(); }).join();
    ASSERT_EQ(GetModuleHandleW(L"canvas.nbp"), nullptr);
    for (HWND w : {canvas, picture}) {
        for (uintptr_t proc : {uintptr_t(GetWindowLongPtrW(w, GWLP_WNDPROC)),
                               uintptr_t(GetClassLongPtrW(w, GCLP_WNDPROC))}) {
            EXPECT_FALSE(IsWindow(w) && proc >= base && proc < end) << "a procedure in the DLL";
        }
    }
    for (const auto& [w, proc] : displaced) {
        EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc) << "not the procedure it displaced";
    }
    RedrawWindow(child.scene.main(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    pumpMessages();
    child.dll = std::make_unique<host::PluginModule>(L"canvas.nbp");
    child.host.connect(*child.dll);
    HWND b = child.scene.addObject(child.host, "b", 70, 0, 60, 40);
    ASSERT_EQ(runAction(*child.dll, CREATE, {"b", ""}), 1) << "its class name still taken";
    ASSERT_EQ(child.dll->handle(), loadedAt) << "where the classes left behind are its own";
    EXPECT_EQ(GetWindowLongPtrW(canvasWindowIn(b), GWLP_WNDPROC), toolkitProc);
    ASSERT_EQ(runAction(*child.dll, CIRCLE, {"b", "30", "20", "10", "$0000FF"}), 1);
    EXPECT_EQ(readCanvas(b).at(40, 20), RED);
    DestroyWindow(child.object);
    pumpMessages();
}

// Each call that ran out of memory returned 0 or handled its message, and the host went on.
TEST(HostileHosts, EveryRowEndsNormally) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"ExportRunsOutOfMemory", false},   {L"ExportRunsOutOfMemory", true},
        {L"MessageRunsOutOfMemory", false},  {L"MessageRunsOutOfMemory", true},
        {L"UnloadFromAnotherThread", false},
    };
    for (const auto& [test, preload] : rows) {
        // The 64-bit runtime unwinds through the system's tables instead.
        if (preload && sizeof(void*) != 4) {
            continue;
        }
        const Process child = runOwnTests(L"ChildProcess.DISABLED_" + std::wstring(test) +
                                          (preload ? PRELOAD_FLAG : L""));
        EXPECT_TRUE(onePassed(child)) << preload << child.out << child.err;
    }
}

//--- Running out of memory -------------------------------------------------------------
// The plug-in's code, linked in, with its n-th allocation failing for each n, leaves
// no half-built canvas, open pass or font. (The exports end an exception with 0.)

class OutOfMemory : public LinkedPluginTest {
  protected:
    void SetUp() override {
        object_ = scene.addObject(0, 0, 60, 40);
        answerWith(object_);
        plugin::state().hostInterface = &answer;
    }

    // For n = 1, 2, ...: `prepare`, `action` with its n-th allocation failing, and
    // `check` of its result (-1: an exception), until the action allocates fewer
    // times or a check ends the test. Returns the last result.
    static int eachFailure(
        const std::function<int()>& action, const std::function<void(long n, int result)>& check,
        const std::function<void()>& prepare = [] {}) {
        for (long n = 1; n < 100000; ++n) {
            prepare();
            g_allocations = 0;
            g_failAt = n;
            int result = -1;
            try {
                result = action();
            } catch (const std::bad_alloc&) {
            }
            g_failAt = 0;
            pumpMessages();
            check(n, result);
            if (g_allocations < n || HasFatalFailure()) {
                return result;
            }
        }
        ADD_FAILURE() << "still allocating after 100000 failures";
        return -1;
    }

    // A failed allocation ends the call with 0 and one of `reasons`, or is done without.
    static void expectReason(long n, int result, std::initializer_list<Reason> reasons) {
        const Reason reason = canvas::lastFailure();
        if (result == 1) {
            EXPECT_EQ(reason, Reason::None) << n;
            return;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_NE(std::find(reasons.begin(), reasons.end(), reason), reasons.end())
            << n << ": reason " << static_cast<int>(reason);
    }

    static void expectNoPassOrFont(long n) {
        EXPECT_EQ(draw::currentRaster(), nullptr) << n;
        EXPECT_EQ(FontHandle(100), 0) << n;
    }

    // The host's answer to command 7 from now on: window `w`.
    static void answerWith(HWND w) {
        std::snprintf(reply_, sizeof reply_, "%llu",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)));
    }
    // Made without C++ allocations so that only the plug-in's own ones fail.
    static int __stdcall answer(int, HostString* slot) {
        const size_t length = std::strlen(reply_) + 1;
        auto* reply = static_cast<HostString>(GlobalAlloc(0, length));
        std::memcpy(reply, reply_, length);
        GlobalFree(*slot);
        *slot = reply;
        return 1;
    }

    HWND object_ = nullptr;
    static inline char reply_[32];
};

TEST_F(OutOfMemory, ACreateThatRunsOutLeavesNothing) {
    host::Params params({"rect", "$0000FF"});
    const auto create = [&] { return plugin::execAction(CREATE, params.data()); };
    const int last = eachFailure(create, [&](long n, int result) {
        expectNoPassOrFont(n);
        expectReason(n, result,
                     {Reason::OutOfMemory, Reason::NoEntry, Reason::NoWindow, Reason::ParentRefused,
                      Reason::NoImage, Reason::NoPicture, Reason::NoPass});
        if (result == 1) {
            // Complete: every failure on the way was one it could do without.
            EXPECT_EQ(canvas::registry().size(), 1u) << n;
            ASSERT_EQ(canvasWindowsIn(object_).size(), 1u) << n;
            EXPECT_EQ(readCanvas(object_).count(RED), 60u * 40u) << n;
            canvas::releaseAllCanvases();
            pumpMessages();
        } else {
            EXPECT_TRUE(canvas::registry().empty()) << n << ": no half-built canvas";
            EXPECT_TRUE(canvasWindowsIn(object_).empty()) << n;
        }
    });
    EXPECT_EQ(last, 1);
}

TEST_F(OutOfMemory, DrawingThatRunsOutLeavesTheCanvasWhole) {
    ASSERT_EQ(runAction(CREATE, {"rect", ""}, false), 1);
    host::Params text({"rect", "Hola", "2", "2", "$0000FF", "", "Liberation Serif,14,BI"});
    host::Params opaque({"rect", "xy", "2", "20", "", "$00FF00", ""});
    host::Params circle({"rect", "30", "20", "10", "$0000FF"});
    host::Params clear({"rect"});
    const std::tuple<const char*, int, host::Params*> rows[] = {{"text", TEXT, &text},
                                                                {"opaque text", TEXT, &opaque},
                                                                {"circle", CIRCLE, &circle},
                                                                {"clear", CLEAR, &clear}};
    for (const auto& [what, id, params] : rows) {
        SCOPED_TRACE(what);
        // Structured bindings are captured through initialisers: C++17 lets no
        // lambda name them.
        const auto action = [id = id, params = params] {
            return plugin::execAction(id, params->data());
        };
        const int last = eachFailure(action, [&](long n, int result) {
            expectNoPassOrFont(n);
            expectReason(n, result, {Reason::OutOfMemory, Reason::NoPass, Reason::NoFont});
            EXPECT_EQ(canvas::registry().size(), 1u) << n;
            EXPECT_EQ(canvasWindowsIn(object_).size(), 1u) << n;
        });
        EXPECT_EQ(last, 1);
    }
    ASSERT_EQ(plugin::execAction(CLEAR, clear.data()), 1);
    ASSERT_EQ(plugin::execAction(CIRCLE, circle.data()), 1);
    EXPECT_EQ(readCanvas(object_).at(40, 20), RED);
}

// A release cut short by a failed allocation leaves entries whose windows and
// images may be gone; the next release finishes without touching anything twice.
TEST_F(OutOfMemory, AReleaseThatRunsOutIsFinishedByTheNext) {
    HWND second = scene.addObject(100, 0, 50, 30);
    const auto createBoth = [&] {
        ASSERT_EQ(runAction(CREATE, {"rect", ""}, false), 1);
        answerWith(second);
        ASSERT_EQ(runAction(CREATE, {"second", ""}, false), 1);
        answerWith(object_);
    };
    const auto release = [] { return plugin::message(2); };
    const auto finished = [&](long n, int) {
        EXPECT_EQ(plugin::message(2), 0);
        pumpMessages();
        EXPECT_TRUE(canvas::registry().empty()) << n;
        EXPECT_TRUE(canvasWindowsIn(object_).empty()) << n;
        EXPECT_TRUE(canvasWindowsIn(second).empty()) << n;
    };
    eachFailure(release, finished, createBoth);
}

// The window procedures Windows calls, out of memory in a message: the message
// ends there, nothing unwinds into the system's frames (which the 32-bit build
// cannot pass), and the host goes on.
TEST_F(OutOfMemory, MessagesThatRunOutEndThereAndTheHostGoesOn) {
    ASSERT_EQ(runAction(CREATE, {"rect", "$0000FF"}, false), 1);
    HWND canvas = canvasWindowIn(object_);
    HWND picture = FindWindowExW(canvas, nullptr, L"Static", nullptr);
    ASSERT_NE(picture, nullptr);
    const int window =
        static_cast<int>(UiOpenWindow(UI_ANY, 0, 0, 200, 100, u"", UI_FLAGS_DIALOG, nullptr));
    ASSERT_TRUE(window);
    HWND dialog = UiWindowHandle(window);
    HWND first = UiControlHandle(static_cast<int>(UiAddEdit(UI_ANY, 5, 5, 80, 20, u"a")));
    HWND second = UiControlHandle(static_cast<int>(UiAddEdit(UI_ANY, 5, 30, 80, 20, u"b")));
    UiAddButton(UI_ANY, 5, 60, 80, 20, u"OK");
    ASSERT_TRUE(first && second);

    const auto bitmap = [&] { return SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0); };
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"Tab", [&] { SendMessageW(dialog, WM_COMMAND, UI_COMMAND_NEXT_FOCUS, 0); }},
        {"Shift+Tab", [&] { SendMessageW(dialog, WM_COMMAND, UI_COMMAND_PREVIOUS_FOCUS, 0); }},
        {"fields gaining and losing the focus",
         [&] {
             SetFocus(first);
             SetFocus(second);
         }},
        {"Ctrl+A in a field", [&] { SendMessageW(first, WM_CHAR, 0x01, 0); }},
        {"the close box", [&] { SendMessageW(dialog, WM_CLOSE, 0, 0); }},
        {"a paint of the canvas",
         [&] {
             RedrawWindow(canvas, nullptr, nullptr,
                          RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
         }},
        {"the canvas resized and moved",
         [&] {
             SetWindowPos(canvas, nullptr, 1, 1, 50, 30, SWP_NOZORDER | SWP_NOACTIVATE);
             SetWindowPos(canvas, nullptr, 0, 0, 60, 40, SWP_NOZORDER | SWP_NOACTIVATE);
         }},
        {"the image assigned again",
         [&] { SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, bitmap()); }},
        {"clicks and a drag on the picture",
         [&] {
             SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             SendMessageW(picture, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 30));
             SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
             SendMessageW(picture, WM_RBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
             SendMessageW(picture, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
         }},
    };
    for (const auto& [what, deliver] : rows) {
        SCOPED_TRACE(what);
        const auto delivered = [&deliver = deliver] {
            deliver();
            return 1;
        };
        eachFailure(delivered, [&](long n, int result) {
            EXPECT_EQ(result, 1) << n << ": an exception left a message";
            EXPECT_EQ(UiWindowHandle(window), dialog) << n;
        });
    }
    takeEvents();
    UiCloseWindow(window);
    // The host goes on: the canvas still draws and shows what it draws.
    ASSERT_EQ(runAction(CIRCLE, {"rect", "30", "20", "10", "$FFFFFF"}, false), 1);
    const CanvasPixels s = readCanvas(object_);
    EXPECT_EQ(s.at(40, 20), WHITE);
    EXPECT_EQ(s.at(30, 20), RED);
}

//--- The whole matrix again: nothing accumulates -----------------------------------------

TEST_F(Plugged, RepeatedBadInputDoesNotGrowTheProcess) {
    HWND o = object("rect", 100, 60);
    const std::string big = repeat('7', MEGABYTE);
    auto round = [&]() {
        EXPECT_EQ(exec(CREATE, {"rect", big}), 1);
        EXPECT_EQ(exec(TEXT, {"rect", big, big, "3", big, big, big}), 1);
        EXPECT_EQ(exec(TEXT, {"rect", "Hola", "3", "3", "", "", "NoSuchFont,-3,BIU"}), 1);
        EXPECT_EQ(exec(CIRCLE, {"rect", "-2147483597", "40", "2147483647", big}), 1);
        EXPECT_EQ(exec(CREATE, {"missing", ""}), 0);
        EXPECT_EQ(exec(CREATE, {big, ""}), 0);
        EXPECT_EQ(plugin->execAction(CIRCLE, nullptr), 0);
        EXPECT_EQ(plugin->message(6, 0), 0);
        pumpMessages();
        // The host's record of the megabyte requests is no part of the plug-in.
        host.calls = {};
    };
    round();
    round();
    // Two halves of eight rounds: what accumulates grows in both alike, while
    // a heap that grows once (Wine does, at times, when other programs load
    // the machine) grows in one only.
    const ProcessReading before = readProcess();
    for (int i = 0; i < 8; ++i) {
        round();
    }
    const size_t middle = committedBytes();
    for (int i = 0; i < 8; ++i) {
        round();
    }
    const ProcessReading after = readProcess();
    constexpr size_t HALF_LIMIT = 1024 * 1024;
    EXPECT_TRUE(middle < before.committed + HALF_LIMIT || after.committed < middle + HALF_LIMIT)
        << before.committed / 1024 << " KB, then " << middle / 1024 << ", then "
        << after.committed / 1024;
    EXPECT_EQ(after.gdiHeadroom, before.gdiHeadroom);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_TRUE(canvasWindowsIn(o).empty());
}

} // namespace
