#include "draw/alpha_blend_win.h"

#include <new>

#include "base/owners_win.h"

namespace draw {

namespace {

enum class Lookup { OnNeed, Found, Missing, Withheld };

Lookup g_lookup = Lookup::OnNeed;
AlphaBlendFn g_alphaBlend = nullptr;

// msimg32.dll while it is loaded. The owner lives in storage that is never
// destroyed: as a plain static, its destructor would free the library at
// process exit, inside DllMain.
alignas(Module) unsigned char g_libraryStorage[sizeof(Module)];

Module& library() {
    static Module* const held = new (g_libraryStorage) Module();
    return *held;
}

void forget(Lookup next) {
    g_alphaBlend = nullptr;
    library().reset();
    g_lookup = next;
}

} // namespace

AlphaBlendFn alphaBlend() {
    if (g_lookup == Lookup::OnNeed) {
        library().reset(LoadLibraryW(L"msimg32.dll"));
        if (library()) {
            g_alphaBlend = reinterpret_cast<AlphaBlendFn>(
                reinterpret_cast<void*>(GetProcAddress(library().get(), "AlphaBlend")));
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
