#include "draw/alpha_blend_win.h"

#include <new>

#include "base/module_win.h"

namespace draw {

namespace {

enum class Lookup { ON_NEED, FOUND, MISSING, WITHHELD };

Lookup g_lookup = Lookup::ON_NEED;
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
    if (g_lookup == Lookup::ON_NEED) {
        library().reset(LoadLibraryW(L"msimg32.dll"));
        if (library()) {
            g_alphaBlend = reinterpret_cast<AlphaBlendFn>(
                reinterpret_cast<void*>(GetProcAddress(library().get(), "AlphaBlend")));
        }
        g_lookup = g_alphaBlend ? Lookup::FOUND : Lookup::MISSING;
    }
    return g_alphaBlend;
}

AlphaBlendFn loadedAlphaBlend() {
    return g_alphaBlend;
}

void alphaBlendRelease() {
    forget(Lookup::ON_NEED);
}

void alphaBlendWithhold() {
    forget(Lookup::WITHHELD);
}

} // namespace draw
