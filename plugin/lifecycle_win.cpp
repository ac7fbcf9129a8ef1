#include "plugin/plugin_win.h"

#include "canvas/actions_win.h"

#include "draw/alpha_blend_win.h"
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

// Runs under the loader lock: everything started here only creates objects
// of this process (classes, fonts, icons) and never loads a library or waits
// on another thread. AlphaBlend's library is loaded when a picture first
// needs it, from an export's call.
void attach(HINSTANCE module) {
    // Runtime support, each piece before what builds on it.
    draw::fontStartup();  // font table and screen DPI
    draw::imageStartup(); // image table and the current drawing context slot
    ui::startup(module);  // event queue, default icon, control font, common controls
    // The canvas registry last, empty, on top of all of this.
    canvas::registry();
}

// The DLL is being unloaded (never called at process exit). Canvases go
// first, while everything they use still exists (their window procedures
// live in this DLL); then the strings handed to the host; then the runtime
// support in reverse.
void detach() {
    canvas::releaseAllCanvases();
    PluginState& current = state();
    for (HostString& s : current.registration) {
        freeHostString(s);
        s = nullptr;
    }
    ui::shutdown();            // closes every window still open
    draw::imageShutdown();     // every image still held (and any open pass)
    draw::alphaBlendRelease(); // frees msimg32.dll
    draw::fontShutdown();      // every font still held
}

} // namespace plugin
