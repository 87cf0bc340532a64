#include "recordings/video/BurnIn.h"

#include <algorithm>
#include <array>

namespace bf::video {

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kCellWidth = kGlyphWidth + 1;
constexpr int kCellHeight = kGlyphHeight + 2;
constexpr uint8_t kInk = 235;
constexpr uint8_t kPaper = 16;
constexpr uint8_t kNeutral = 128;

using Glyph = std::array<uint8_t, kGlyphHeight>;  // rows, bit 4 the leftmost column

Glyph GlyphOf(char c) {
  static constexpr Glyph kDigits[] = {
      {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
      {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
      {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
      {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
      {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
  };
  if (c >= '0' && c <= '9') return kDigits[c - '0'];
  switch (c) {
    case '.':
      return {0, 0, 0, 0, 0, 0x0C, 0x0C};
    case ',':
      return {0, 0, 0, 0, 0x0C, 0x04, 0x08};
    case ':':
      return {0, 0x0C, 0x0C, 0, 0x0C, 0x0C, 0};
    case '/':
      return {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10};
    case 'q':
      return {0, 0, 0x0F, 0x11, 0x0F, 0x01, 0x01};
    case 'f':
      return {0x06, 0x08, 0x1C, 0x08, 0x08, 0x08, 0x08};
    case 'p':
      return {0, 0, 0x1E, 0x11, 0x1E, 0x10, 0x10};
    case 's':
      return {0, 0, 0x0F, 0x10, 0x0E, 0x01, 0x1E};
    case 'B':
      return {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E};
    case 'C':
      return {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E};
    case 'D':
      return {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C};
    case 'L':
      return {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F};
    case 'M':
      return {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11};
    case 'O':
      return {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E};
    case 'W':
      return {0x11, 0x11, 0x11, 0x15, 0x15, 0x1B, 0x11};
    case 'a':
      return {0, 0, 0x0E, 0x01, 0x0F, 0x11, 0x0F};
    case 'x':
      return {0, 0, 0x11, 0x0A, 0x04, 0x0A, 0x11};
    default:
      return {};
  }
}

// Fills [x0, x1) x [y0, y1) of the full-size picture in plane p with value, scaled down to the
// plane's own resolution.
void FillPlane(YuvPicture& picture, int p, int x0, int y0, int x1, int y1, uint8_t value) {
  const int w = picture.widths[p], h = picture.heights[p];
  const int fullW = picture.layout.width, fullH = picture.layout.height;
  const int px0 = x0 * w / fullW, px1 = std::min(w, (x1 * w + fullW - 1) / fullW);
  const int py0 = y0 * h / fullH, py1 = std::min(h, (y1 * h + fullH - 1) / fullH);
  for (int y = py0; y < py1; ++y) {
    uint8_t* row =
        picture.planes[p].data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    std::fill(row + px0, row + std::max(px0, px1), value);
  }
}

}  // namespace

void BurnInText(YuvPicture& picture, const std::string& text) {
  const int width = picture.layout.width, height = picture.layout.height;
  if (text.empty() || picture.planeCount < 1 || width <= 0 || height <= 0) return;
  const int scale = width >= 640 ? 2 : 1;
  const int stripWidth = std::min(width, (static_cast<int>(text.size()) * kCellWidth + 1) * scale);
  const int stripHeight = std::min(height, kCellHeight * scale);
  FillPlane(picture, 0, 0, 0, stripWidth, stripHeight, kPaper);
  for (int p = 1; p < picture.planeCount; ++p) {
    FillPlane(picture, p, 0, 0, stripWidth, stripHeight, kNeutral);
  }
  uint8_t* luma = picture.planes[0].data();
  const auto stride = static_cast<std::size_t>(picture.widths[0]);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph glyph = GlyphOf(text[i]);
    const int left = (static_cast<int>(i) * kCellWidth + 1) * scale;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if ((glyph[static_cast<std::size_t>(row)] & (0x10 >> col)) == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            const int x = left + col * scale + dx, y = (1 + row) * scale + dy;
            if (x < width && y < height) {
              luma[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)] = kInk;
            }
          }
        }
      }
    }
  }
}

}  // namespace bf::video
