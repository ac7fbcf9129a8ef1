// Hosts unlike the reference host, each one row: what it does around its
// calls into the plug-in that ours never does (a skinning hook, another DPI
// awareness, the mouse held), played on this thread with canvas.nbp loaded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/win/support/host_scene.h"

// The per-thread DPI awareness of Windows 10 1607 and later, looked up in
// user32 at run time as the plug-in does.
namespace awareness {
// Sets the thread's (nothing for null); returns what it was.
DPI_AWARENESS_CONTEXT setThread(DPI_AWARENESS_CONTEXT context);
// The DPI_AWARENESS (0 unaware, 1 system, 2 per monitor; -1 none) of a
// context, of the thread, of a window.
int of(DPI_AWARENESS_CONTEXT context);
int ofThread();
int ofWindow(HWND window);
} // namespace awareness

struct HostProfile {
    const char* name;
    // A skinning host: its CBT hook subclasses every new captioned top-level
    // window and makes its caption this much taller (WM_NCCALCSIZE).
    int captionGrowth = 0;
    // The awareness its windows are made in, and its thread's while it calls
    // the plug-in; null: the thread's as it is.
    DPI_AWARENESS_CONTEXT windows = nullptr, calls = nullptr;
    // Its main window holds the mouse capture when it calls.
    bool holdsCapture = false;
};

// The host a profile describes, with the plug-in loaded and connected. Its
// hook (one per thread) sees every window this thread makes while it lives.
class ProfiledHost {
  public:
    explicit ProfiledHost(const HostProfile& profile);
    ~ProfiledHost();
    ProfiledHost(const ProfiledHost&) = delete;
    ProfiledHost& operator=(const ProfiledHost&) = delete;

    // A named object window, made as this host makes its windows.
    HWND object(const std::string& name, int x, int y, int w, int h);
    // Object "a", 60 x 40, made a red canvas by a call of this host's.
    HWND redCanvas();
    // Runs `call` the way this host calls an export: its thread in the
    // calls' awareness, its main window holding the capture. Afterwards the
    // thread's awareness as the call left it is in `awarenessAfter`, and
    // the thread gets back what it had.
    int call(const std::function<int()>& call);

    struct Made {
        std::wstring cls;
        int awareness; // the thread's as the window was made
    };
    std::vector<Made> made; // by the last call
    int awarenessAfter = -1;
    const HostProfile profile;

  private:
    HHOOK hook_;                   // in place first: it sees the host's own windows made
    DPI_AWARENESS_CONTEXT before_; // the thread's awareness while the scene is made

  public:
    PluggedScene plugged; // made in the profile's awareness
};

// The plug-in's dialogs: the four editors and the About box, each with its
// title, its client area at 96 dpi and the export call that opens it.
struct PluginBox {
    std::wstring title;
    SIZE client;
    std::function<int(host::PluginModule&)> open;
};
std::vector<PluginBox> pluginBoxes();
