// AlphaBlend, which lives in msimg32.dll. The library is loaded from the
// system directory when a picture control first needs to blend, never at
// attach, and never freed: DllMain runs under the loader lock, where no
// library may be loaded or freed.
#pragma once

#include <windows.h>

namespace draw {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// AlphaBlend. The first call loads msimg32.dll from the system directory
// (held until the process ends), so it must not be made from DllMain. Null
// when the system has no such library or function; then images are painted
// with DrawStateW and no premultiplied copies are made.
AlphaBlendFn alphaBlend();
// AlphaBlend if it has been looked up and found already, else null; looks
// nothing up (a paint uses it: a control holds a copy to blend only once the
// lookup succeeded).
AlphaBlendFn loadedAlphaBlend();
// Forgets the lookup: the next alphaBlend() looks the function up again in
// the library it holds. Picture controls still open fall back to DrawStateW
// until their next image.
void alphaBlendForget();
// Answers null from now on, as on a system without msimg32.dll, until the
// next alphaBlendForget: for the tests of the fallback.
void alphaBlendWithhold();

} // namespace draw
