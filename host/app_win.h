// The canvas-host application: a main window with named rectangle objects
// (main_window_win.cpp), a script runner that drives the plug-in through
// its exports (script_runner_win.cpp), and the host's pickers for objects
// and colours (pickers_win.cpp).
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/gdi_win.h"
#include "host/capture_win.h"
#include "host/debug_output_win.h"
#include "host/host_win.h"
#include "host/modal_watch_win.h"
#include "host/script.h"

namespace host {

// Colours of the host's own surfaces, fixed so that screenshots can be read.
constexpr COLORREF WINDOW_COLOUR = RGB(236, 236, 236);
constexpr COLORREF OBJECT_COLOUR = RGB(208, 224, 244);
// The colour the colour picker offers before any choice: pure blue.
constexpr COLORREF PICKER_FIRST_COLOUR = RGB(0, 0, 255);
// The main window's client size until a script's `window` command.
constexpr int DEFAULT_CLIENT_WIDTH = 800;
constexpr int DEFAULT_CLIENT_HEIGHT = 600;

// Commands of the main window's "Plug-in" menu.
enum MenuId { MENU_ABOUT = 101, MENU_EDIT, MENU_RUN, MENU_EXIT };

// Where the host reports: `out` gets the record of what the plug-in did,
// `err` the host's complaints. UTF-8, one line per call, no line end.
struct Console {
    std::function<void(const std::string&)> out;
    std::function<void(const std::string&)> err;
};

// Parameter texts as the host keeps them: ANSI, or no string (a null slot).
using Slots = std::vector<std::optional<std::string>>;
// The slots' texts as Params takes them, null for a null slot.
std::vector<const char*> slotTexts(const Slots& slots);

class App {
  public:
    // The plug-in must outlive the App; it need not be loaded.
    App(PluginModule& plugin, Console console);
    // Closes the main window (see close()).
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Host& host() { return host_; }
    // Null until openMainWindow() and once the window is gone.
    HWND mainWindow() const { return main_; }

    //--- The script runner (script_runner_win.cpp)

    // Registers the plug-in (_nbRegisterInterfaceAccess, _nbRegisterPlugIn,
    // _nbInitPlugIn) and prints what it handed over.
    void connect();

    // Reports every fault of the script in line order: its syntax errors and
    // its actions checked against the registered ones (names, at most
    // `count` parameters). True when there is none.
    bool check(const Script& script);

    // Runs the commands in order until the end or until the main window is
    // closed. False when some command failed (it is reported, and the rest
    // still runs).
    bool run(const Script& script);
    bool run(const Command& command);

    // Unattended runs: modal boxes without a close= option are dismissed
    // with their close box.
    bool unattended = false;
    // The script's file name (UTF-8), which reports and result lines start
    // with ("demo.script:12: kiv_DrawText -> 0"); empty: errors say
    // "line 12: ..." and results carry no line.
    std::string scriptName;

    //--- Windows of the host (main_window_win.cpp)

    // Opens, shows and activates the main window (800 x 600 client area);
    // true at once when it is open. False when it cannot be created.
    bool openMainWindow();

    // Saves the main window's client area, child windows included, as a
    // PNG file. False when it cannot be read or written.
    bool screenshot(const std::wstring& path);

    // Dispatches messages until the main window is gone.
    void loop();
    // As the user's close box: sends the plug-in notification 6, then
    // destroys the main window and with it the objects. Nothing when the
    // window is not open.
    void close();

    // The window of a live object, by its script (UTF-8) name; null if none.
    // The main window owns it.
    HWND object(const std::string& name) const;

    //--- The host's pickers (pickers_win.cpp)

    // The pickers behind commands 1 and 10: a list of the objects, and the
    // colour dialog, which opens on the colour in the field that asked (the
    // focused edit field, or the one before the focused "..." button) or,
    // when that holds none, on the last choice. Both modal, owned by the
    // active window; false when the user cancels (or there is no object).
    bool pickObject(std::string* ansiName);
    bool pickColour(COLORREF* colour);

  private:
    static LRESULT CALLBACK mainProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK objectProc(HWND, UINT, WPARAM, LPARAM);
    void onMenu(int id);
    bool createObject(const Command& command);
    bool destroyObject(const Command& command);
    bool resize(int width, int height);
    void pump(DWORD milliseconds);

    // Reports a fault of a script command on the console: "demo.script:3:
    // ..." or "line 3: ...".
    void reportAt(const Command& command, const std::string& message);
    const ActionDef* action(const std::string& utf8Name) const;
    bool pluginGone(const Command& command);
    Slots slotsFrom(const ActionDef& def, const std::vector<std::string>& utf8Params) const;
    // Runs the action on the slots and prints its result after `where`
    // (the script line it came from, or nothing).
    void execute(const ActionDef& def, const Slots& slots, const std::string& where);
    // Shows the plug-in's editor on the slots and reports what it gives
    // back; on result 1 the slots are updated and kept as current.
    int edit(const ActionDef& def, Slots* slots, const std::string& where);
    // The start of a script command's output lines (see scriptName).
    std::string from(const Command& command) const { return located(command.line, scriptName); }
    bool modalDone(ModalWatch& watch, const Command& command);
    CloseWith closeFor(const Command& command) const;
    // Calls into the plug-in. Its modal boxes dispatch the host's messages
    // too; while a call is under way the menu and the close box do nothing,
    // so the plug-in is never entered again from inside itself. What the
    // plug-in writes with OutputDebugString during the call (a diagnostic
    // build says there why an action returned 0) is kept in notes_.
    template <typename F> int call(F f) {
        ++busy_;
        int r;
        {
            DebugOutputCapture capture;
            r = f();
            notes_ = capture.lines();
        }
        --busy_;
        return r;
    }
    // The result line with the last call's notes after it in parentheses:
    // "demo.script:12: kiv_DrawText -> 0 (no hay ...)". A note that starts
    // with "ACTION: " (the action's name) is shown without it.
    std::string withNotes(const std::string& line, const std::string& action = "") const;

    PluginModule& plugin_;
    int busy_ = 0;                   // plug-in calls under way
    std::vector<std::string> notes_; // the plug-in's debug output during the last call
    Console console_;
    Host host_;
    HWND main_ = nullptr;
    ATOM mainClass_ = 0;
    ATOM objectClass_ = 0;
    GdiObject<HBRUSH> windowBrush_;
    GdiObject<HBRUSH> objectBrush_;
    // The colour dialog's state between calls: its last choice and its
    // sixteen custom colour boxes.
    static constexpr int CUSTOM_COLOUR_COUNT = 16;
    COLORREF lastColour_ = PICKER_FIRST_COLOUR;
    COLORREF customColours_[CUSTOM_COLOUR_COUNT] = {};
    // The latest parameters of each action (ANSI), as the menu edits them.
    std::map<int, Slots> current_;
};

} // namespace host
