// The canvas-host application: a main window with named rectangle objects,
// a script runner that drives the plug-in through its exports, the host's
// pickers for objects and colours, and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/capture_win.h"
#include "host/host_win.h"
#include "host/script.h"

namespace host {

// Colours of the host's own surfaces, fixed so that screenshots can be read.
constexpr COLORREF WINDOW_COLOUR = RGB(236, 236, 236);
constexpr COLORREF OBJECT_COLOUR = RGB(208, 224, 244);
constexpr int DEFAULT_CLIENT_WIDTH = 800;
constexpr int DEFAULT_CLIENT_HEIGHT = 600;

// Commands of the main window's "Plug-in" menu.
enum MenuId { MENU_ABOUT = 101, MENU_EDIT, MENU_RUN, MENU_EXIT };

enum ExitCode {
    EXIT_OK = 0,
    EXIT_NO_PLUGIN = 1,  // the plug-in did not load or lacks an export
    EXIT_BAD_SCRIPT = 2, // bad arguments, unreadable script, syntax or name errors
    EXIT_RUN_FAILED = 3, // a command failed while running (file not written...)
};

// Where the host reports: `out` gets the record of what the plug-in did,
// `err` the host's complaints. UTF-8, one line per call, no line end.
// Parameter texts as the host keeps them: ANSI, or no string (a null slot).
using Slots = std::vector<std::optional<std::string>>;

struct Console {
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
};

class App {
  public:
    App(PluginModule& plugin, Console console);
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Host& host() { return host_; }
    HWND mainWindow() const { return main_; }

    // Registers the plug-in (_nbRegisterInterfaceAccess, _nbRegisterPlugIn,
    // _nbInitPlugIn) and prints what it handed over.
    void connect();

    // Opens, shows and activates the main window (800 x 600 client area).
    bool openMainWindow();

    // Checks the script's actions against the registered ones (names, at
    // most `count` parameters); reports every fault. True when all is well.
    bool check(const Script& script);

    // Runs the commands in order until the end or until the main window is
    // closed. False when some command failed (it is reported, and the rest
    // still runs).
    bool run(const Script& script);
    bool run(const Command& command);

    // Saves the main window's client area, child windows included.
    bool screenshot(const std::wstring& path);

    // Dispatches messages until the main window is gone.
    void loop();
    // As the user's close box: sends notification 6, destroys the window.
    void close();

    // The window of a live object, by its script (UTF-8) name; null if none.
    HWND object(const std::string& name) const;

    // The host's pickers behind commands 1 and 10: a list of the objects,
    // and the colour dialog. Both modal, owned by the active window.
    bool pickObject(std::string* ansiName);
    bool pickColour(COLORREF* colour);

    // Unattended runs: modal boxes without a close= option are dismissed
    // with their close box.
    bool unattended = false;

  private:
    static LRESULT CALLBACK mainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK objectProc(HWND, UINT, WPARAM, LPARAM);
    void onMenu(int id);
    const ActionDef* action(const std::string& utf8Name) const;
    bool pluginGone(const Command& command);
    bool createObject(const Command& command);
    bool destroyObject(const Command& command);
    bool resize(int width, int height);
    Slots slotsFrom(const ActionDef& def, const std::vector<std::string>& utf8Params) const;
    void execute(const ActionDef& def, const Slots& slots);
    // Shows the plug-in's editor on the slots and reports what it gives
    // back; on result 1 the slots are updated and kept as current.
    int edit(const ActionDef& def, Slots* slots);
    bool modalDone(ModalWatch& watch, const Command& command);
    CloseWith closeFor(const Command& command) const;
    void pump(DWORD milliseconds);
    // Calls into the plug-in. Its modal boxes dispatch the host's messages
    // too; while a call is under way the menu and the close box do nothing,
    // so the plug-in is never entered again from inside itself.
    template <typename F> int call(F f) {
        ++busy_;
        int r = f();
        --busy_;
        return r;
    }

    PluginModule& plugin_;
    int busy_ = 0; // plug-in calls under way
    Console console_;
    Host host_;
    HWND main_ = nullptr;
    ATOM mainClass_ = 0;
    ATOM objectClass_ = 0;
    HBRUSH windowBrush_ = nullptr; // owned
    HBRUSH objectBrush_ = nullptr; // owned
    COLORREF lastColour_ = RGB(0, 0, 255);
    COLORREF customColours_[16] = {};
    // The latest parameters of each action (ANSI), as the menu edits them.
    std::map<int, Slots> current_;
};

// The whole program: `canvas-host [--plugin PATH] [--screenshot FILE.png]
// [--exit] [SCRIPT]`. Returns the process exit code.
int runCanvasHost(const std::vector<std::wstring>& args, const Console& console);

// Lets the user choose one of `items` in a small modal list; false when
// cancelled or empty. The index of the first item starts selected.
bool chooseFromList(HWND owner, const std::wstring& title, const std::vector<std::wstring>& items,
                    int* index);

} // namespace host
