#include "draw/alpha_blend_win.h"

#include "base/no_destroy.h"
#include "base/owners_win.h"

namespace draw {

namespace {

enum class Lookup { OnNeed, Found, Missing, Withheld };

Lookup g_lookup = Lookup::OnNeed;
AlphaBlendFn g_alphaBlend = nullptr;

// msimg32.dll while it is loaded. Never freed at process exit, where its
// release would run inside DllMain: only forget() below frees it.
NoDestroy<Module> g_library;

void forget(Lookup next) {
    g_alphaBlend = nullptr;
    g_library->reset();
    g_lookup = next;
}

} // namespace

AlphaBlendFn alphaBlend() {
    if (g_lookup == Lookup::OnNeed) {
        g_library->reset(LoadLibraryW(L"msimg32.dll"));
        if (*g_library) {
            g_alphaBlend = reinterpret_cast<AlphaBlendFn>(
                reinterpret_cast<void*>(GetProcAddress(g_library->get(), "AlphaBlend")));
        }
        g_lookup = g_alphaBlend ? Lookup::Found : Lookup::Missing;
    }
    return g_alphaBlend;
}

AlphaBlendFn loadedAlphaBlend() {
    return g_alphaBlend;
}

void alphaBlendRelease() {
    forget(Lookup::OnNeed);
}

void alphaBlendWithhold() {
    forget(Lookup::Withheld);
}

} // namespace draw
