#include "tests/win/support/host_scene.h"

#include <algorithm>

#include "canvas/actions_win.h"
#include "plugin/host_exchange_win.h"
#include "host/utf8.h"
#include "tests/win/support/canvas_probe.h"
#include "tests/win/support/global_spy.h"
#include "tests/win/support/ui_driver.h"

const wchar_t* const SCENE_CLASS = L"TestSceneWindow";

LRESULT CALLBACK HostScene::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_USER && msg < WM_APP) {
        // Only the main window points back at its scene.
        if (auto* scene = reinterpret_cast<HostScene*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
            ++scene->userMessages_;
        }
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HostScene::HostScene(int x, int y, int width, int height, DWORD style) {
    static const ATOM registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = SCENE_CLASS;
        return RegisterClassW(&wc);
    }();
    (void)registered;
    main_ = CreateWindowExW(0, SCENE_CLASS, L"host", style | WS_CLIPCHILDREN, x, y, width, height,
                            nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(main_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void HostScene::destroy() {
    if (main_ && IsWindow(main_)) {
        DestroyWindow(main_);
    }
    main_ = nullptr;
}

HWND HostScene::addObject(int x, int y, int w, int h) {
    return CreateWindowExW(0, SCENE_CLASS, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, w, h,
                           main_, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND HostScene::addObject(host::Host& host, const std::string& name, int x, int y, int w, int h) {
    return host.objects[name] = addObject(x, y, w, h);
}

namespace {

// Runs `exec` on a host's parameter array of `slots`.
template <typename Exec> int run(Exec exec, const Slots& slots, bool pump) {
    host::Params params(slotTexts(slots));
    const int result = exec(params.data());
    if (pump) {
        pumpMessages();
    }
    return result;
}

} // namespace

int runAction(host::PluginModule& plugin, int id, const Slots& slots, bool pump) {
    return run([&](host::HostString* p) { return plugin.execAction(id, p); }, slots, pump);
}

int runAction(int id, const Slots& slots, bool pump) {
    return run([&](host::HostString* p) { return plugin::execAction(id, p); }, slots, pump);
}

size_t windowQueries(const host::Host& host) {
    return static_cast<size_t>(
        std::count_if(host.calls.begin(), host.calls.end(), [](const host::InterfaceCall& c) {
            return c.command == HOST_CMD_OBJECT_WINDOW;
        }));
}

std::vector<const void*> registrationStrings(const host::Host& host) {
    std::vector<const void*> strings = {host.title, host.author, host.description};
    for (const host::ActionDef& a : host.actions) {
        strings.push_back(a.namePtr);
        strings.push_back(a.hintPtr);
    }
    return strings;
}

std::vector<void*> unloadFreeingEachOnce(host::PluginModule& plugin,
                                         const std::vector<const void*>& strings) {
    GlobalSpy spy(plugin.handle());
    EXPECT_TRUE(spy.ok());
    spy.moduleUnloading();
    plugin.unload();
    for (const void* s : strings) {
        EXPECT_EQ(spy.timesFreed(s), 1);
    }
    EXPECT_EQ(spy.freed.size(), static_cast<size_t>(REGISTRATION_STRING_COUNT));
    return spy.freed;
}

::testing::AssertionResult filledWith(HWND object, uint32_t colour) {
    const CanvasPixels s = readCanvas(object);
    if (!s.empty() && s.count(colour) == s.pixels.size()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << s.count(colour) << " of " << s.pixels.size() << " pixels are "
           << (::testing::Message() << std::hex << colour);
}

std::string scriptLine(int id, const Slots& slots) {
    const canvas::ActionDescriptor* action = canvas::findAction(id);
    std::string line = action ? host::utf16ToUtf8(action->name) : "action " + std::to_string(id);
    for (const Slot& s : slots) {
        line += " " + (s ? host::quote(*s) : "(null)");
    }
    return line;
}

void PluggedHost::expectSteps(const std::vector<ScriptStep>& steps) {
    for (const ScriptStep& step : steps) {
        const size_t asked = windowQueries(host);
        const std::string line = scriptLine(step.id, step.slots) + " " + step.why;
        EXPECT_EQ(exec(step.id, step.slots), step.result) << line;
        EXPECT_EQ(windowQueries(host), asked + step.asks) << "asks of " << line;
    }
}

void PluggedHost::load() {
    host.actions.clear();
    plugin = std::make_unique<host::PluginModule>(L"canvas.nbp");
    ASSERT_TRUE(plugin->ok());
    host.connect(*plugin);
}

void PluggedHost::TearDown() {
    plugin.reset();
    scene.destroy();
    pumpMessages();
}

void LinkedPluginTest::TearDown() {
    canvas::releaseAllCanvases();
    plugin::state().hostInterface = nullptr;
    pumpMessages();
}
