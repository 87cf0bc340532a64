#pragma once
#include <array>
#include <cstdint>

namespace bf::sim {

// 5 x 7 glyphs for the characters of the scene caption: digits, '#', '-', ':' and space.
// Row r of a glyph is a 5-bit mask, bit 4 being the leftmost column. Unknown characters are
// blank.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
std::array<uint8_t, kGlyphHeight> Glyph(char c);

}  // namespace bf::sim
