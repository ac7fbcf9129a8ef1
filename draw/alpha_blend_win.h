// AlphaBlend, which lives in msimg32.dll. The library is loaded when a
// picture control first needs to blend, never at attach: DllMain runs under
// the loader lock, where no library may be loaded or freed.
#pragma once

#include <windows.h>

namespace draw {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// AlphaBlend. The first call loads msimg32.dll (held until
// alphaBlendRelease), so it must not be made from DllMain. Null when the
// system has no such library or function; then images are painted with
// DrawStateW and no premultiplied copies are made.
AlphaBlendFn alphaBlend();
// AlphaBlend if it has been looked up and found already, else null; looks
// nothing up (a paint uses it: a control holds a copy to blend only once the
// lookup succeeded).
AlphaBlendFn loadedAlphaBlend();
// Frees msimg32.dll if it was loaded (the DLL's unload, never at process
// exit); the next alphaBlend() looks it up again. Picture controls still
// open fall back to DrawStateW until their next image.
void alphaBlendRelease();
// Frees msimg32.dll and answers null from then on, as on a system without
// it, until the next alphaBlendRelease: for the tests of the fallback.
void alphaBlendWithhold();

} // namespace draw
