#include "plugin/plugin_win.h"

#include "canvas/actions_win.h"
#include "canvas/failure.h"

#include "draw/font_win.h"
#include "draw/image_win.h"
#include "ui/toolkit_win.h"

namespace plugin {

// Host notifications 2 and 6 release every canvas and nothing else: the
// plug-in stays fully usable, and a later kiv_CreateCanvas starts afresh.
int message(int code) {
    if (code == 2 || code == 6) {
        canvas::releaseAllCanvases();
    }
    return 0;
}

// Runs under the loader lock, so it keeps the module and makes nothing that
// needs another DLL: no User32, GDI or common controls call, no library
// loaded, no wait on another thread. The screen DPI, the class icon, the
// control font, the common controls and the window classes start on first
// use, from an export's call; so does AlphaBlend's library.
void attach(HINSTANCE module) {
    draw::imageStartup(); // no drawing context current
    ui::startup(module);  // the module whose icon and classes the toolkit uses
    // The canvas registry last, empty.
    canvas::registry();
}

// The DLL is being unloaded (never called at process exit). Canvases go
// first, while everything they use still exists (their window procedures
// live in this DLL), without a word to the host's windows: under the loader
// lock no host procedure may run on the plug-in's account. Then the strings
// handed to the host; then the runtime support in reverse. AlphaBlend's
// library stays loaded: no library is freed under the loader lock.
void detach() {
    canvas::releaseAllCanvases(canvas::ParentNotice::Withheld);
    PluginState& current = state();
    for (HostString& s : current.registration) {
        freeHostString(s);
        s = nullptr;
    }
    ui::shutdown();        // closes every window still open
    draw::imageShutdown(); // every image still held (and any open pass)
    draw::fontShutdown();  // every font still held
    canvas::forgetLastFailure();
}

} // namespace plugin
