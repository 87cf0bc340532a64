#pragma once
#include <array>
#include <cstdint>

namespace bf {

// 5 x 7 glyphs for the texts drawn into pictures: the simulated camera's scene caption and the
// overlay line burned into exported video. Digits, ".,:/#-" and the letters of "q COL BW fps
// MD" and "ax"; any other character (the space among them) is blank.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// Row r (top first) of a glyph is a 5-bit mask, bit 4 being the leftmost column.
using Glyph = std::array<uint8_t, kGlyphHeight>;

Glyph GlyphOf(char c);

}  // namespace bf
