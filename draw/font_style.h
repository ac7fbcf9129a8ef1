// Style bits of the font loader (FontLoad). Platform-free so that the
// parameter conversions can produce them.
#pragma once

constexpr int FONT_UNDERLINE = 0x4;
constexpr int FONT_STRIKEOUT = 0x8;
constexpr int FONT_PROOF_QUALITY = 0x10;
constexpr int FONT_BOLD = 0x100;
constexpr int FONT_ITALIC = 0x200;
