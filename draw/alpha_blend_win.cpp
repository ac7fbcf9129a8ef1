#include "draw/alpha_blend_win.h"

#include "base/system_library_win.h"

namespace draw {

namespace {

enum class Lookup { OnNeed, Found, Missing, Withheld };

Lookup g_lookup = Lookup::OnNeed;
AlphaBlendFn g_alphaBlend = nullptr;

// msimg32.dll once loaded: the one reference this DLL holds, kept until the
// process ends. Freeing it could only happen at the unload, under the
// loader lock, where no library is loaded or freed.
HMODULE g_library = nullptr; // never freed

void forget(Lookup next) {
    g_alphaBlend = nullptr;
    g_lookup = next;
}

} // namespace

AlphaBlendFn alphaBlend() {
    if (g_lookup == Lookup::OnNeed) {
        if (!g_library) {
            g_library = loadSystemLibrary(L"msimg32.dll");
        }
        if (g_library) {
            g_alphaBlend = reinterpret_cast<AlphaBlendFn>(
                reinterpret_cast<void*>(GetProcAddress(g_library, "AlphaBlend")));
        }
        g_lookup = g_alphaBlend ? Lookup::Found : Lookup::Missing;
    }
    return g_alphaBlend;
}

AlphaBlendFn loadedAlphaBlend() {
    return g_alphaBlend;
}

void alphaBlendForget() {
    forget(Lookup::OnNeed);
}

void alphaBlendWithhold() {
    forget(Lookup::Withheld);
}

} // namespace draw
