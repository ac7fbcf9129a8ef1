// The host's side of a test: its main window with the objects the test lays
// out, named for the host's answers, and the plug-in's actions run from it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "canvas/action_table.h"
#include "host/app_win.h"
#include "plugin/plugin_state_win.h"
#include "plugin/plugin_win.h"

// The host's main window, its objects plain child windows of it.
class HostScene {
  public:
    // A borderless main window of width x height at the screen's corner.
    explicit HostScene(int width = 900, int height = 700) : HostScene(0, 0, width, height) {}
    // At (x, y), width x height with its frame; WS_CLIPCHILDREN is added, as the host's has it.
    HostScene(int x, int y, int width, int height, DWORD style = WS_POPUP | WS_VISIBLE);
    ~HostScene() { destroy(); }
    HostScene(const HostScene&) = delete;
    HostScene& operator=(const HostScene&) = delete;

    HWND main() const { return main_; }
    // Destroys the main window now, with every object in it.
    void destroy();

    // A new object window at (x, y) with a client area of w x h; named, `host`
    // answers the plug-in's query for `name` with it from then on.
    HWND addObject(int x, int y, int w, int h);
    HWND addObject(host::Host& host, const std::string& name, int x, int y, int w, int h);

    // WM_USER-range messages that reached the main window: the host's own
    // traffic, which must get through while the plug-in runs.
    int userMessages() const { return userMessages_; }

  private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);

    HWND main_ = nullptr;
    int userMessages_ = 0;
};

// The plug-in's action ids, read from its table by name (a name it has not stops the build).
constexpr int CREATE = canvas::findActionNamed(u"kiv_CreateCanvas")->id;
constexpr int CIRCLE = canvas::findActionNamed(u"kiv_DrawCircle")->id;
constexpr int CLEAR = canvas::findActionNamed(u"kiv_ClearCanvas")->id;
constexpr int TEXT = canvas::findActionNamed(u"kiv_DrawText")->id;

// Parameter slots as the host keeps them. A null slot is NUL, never a null
// `const char*`: that would be taken for a text and throw.
using host::Slots;
using host::slotTexts;
using Slot = Slots::value_type;
const Slot NUL = std::nullopt;

// Runs one action through the plug-in's _nbExecAction (or, without `plugin`, its code
// linked into this program) on `slots`, then with `pump` dispatches the messages it left
// waiting, as the host's loop does between script steps.
int runAction(host::PluginModule& plugin, int id, const Slots& slots, bool pump = true);
int runAction(int id, const Slots& slots, bool pump = true);

// How often the plug-in asked the host for an object's window (command 7).
size_t windowQueries(const host::Host& host);

// The strings handed over at registration: title, author, description, each action's name and hint.
std::vector<const void*> registrationStrings(const host::Host& host);

// Unloads `plugin`, checking with a GlobalSpy that it freed each of `strings` once and as
// many strings as a registration hands over in all. Returns the blocks it freed.
std::vector<void*> unloadFreeingEachOnce(host::PluginModule& plugin,
                                         const std::vector<const void*>& strings);

// Every pixel of the object's canvas is `colour` (and it has a canvas).
::testing::AssertionResult filledWith(HWND object, uint32_t colour);

// A script's step: an action, what it returns, how often it asks for an object's window.
struct ScriptStep {
    int id;
    Slots slots;
    int result;
    size_t asks = 0;
    const char* why = ""; // said on failure beside the step
};
// The step as a script line, which is how a failure names it.
std::string scriptLine(int id, const Slots& slots);

// canvas.nbp connected to a host::Host naming its scene's objects, outside the fixture below.
struct PluggedScene {
    PluggedScene() {
        if (plugin.ok()) {
            host.connect(plugin);
        }
    }
    HostScene scene;
    host::Host host;
    host::PluginModule plugin{L"canvas.nbp"};
};

// The same as a fixture: the tests that drive the DLL through its exports.
class PluggedHost : public ::testing::Test {
  protected:
    void SetUp() override { load(); }
    void TearDown() override;
    // Loads the DLL afresh and registers it as the host does at start.
    void load();
    int exec(int id, const Slots& slots) { return runAction(*plugin, id, slots); }
    void expectSteps(const std::vector<ScriptStep>& steps);

    HostScene scene;
    host::Host host;
    std::unique_ptr<host::PluginModule> plugin;
};

// The plug-in's code linked into this program, attached for each suite as DLL attach does,
// a host::Host answering its queries: the tests that look inside the running plug-in.
class LinkedPluginTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { plugin::attach(GetModuleHandleW(nullptr)); }
    static void TearDownTestSuite() { plugin::detach(); }
    void SetUp() override { plugin::state().hostInterface = &host::Host::interfaceProc; }
    // Every canvas released, the host unset.
    void TearDown() override;

    HostScene scene;
    host::Host host;
};
