#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace bf {

// A small picture, 24-bit RGB rows top to bottom.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Decodes a JPEG at the smallest of its full, half, quarter or eighth size that is still at
// least `width` pixels wide (the eighth when none is), scaled in libjpeg's inverse DCT, which
// skips most of the work of a full decode. A picture libjpeg can decode with substitutions (a
// cut scan) is returned as decoded; false on an error. Any thread.
bool DecodeScaled(std::span<const uint8_t> jpeg, int width, RgbPicture& out);

}  // namespace bf
