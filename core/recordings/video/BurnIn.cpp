#include "recordings/video/BurnIn.h"

#include <algorithm>

#include "frames/BitmapFont.h"

namespace bf::video {

namespace {

constexpr int kCellWidth = kGlyphWidth + 1;
constexpr int kCellHeight = kGlyphHeight + 2;
constexpr uint8_t kInk = 235;
constexpr uint8_t kPaper = 16;
constexpr uint8_t kNeutral = 128;

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
