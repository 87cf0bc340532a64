#include "sim/SimScene.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "frames/BitmapFont.h"
#include "host/CalendarTime.h"

namespace bf::sim {

namespace {

// Position on a back-and-forth path of the given span, for a phase in arbitrary units.
int Bounce(uint64_t phase, int span) {
  if (span <= 0) return 0;
  const auto period = static_cast<uint64_t>(2 * span);
  const auto p = static_cast<int>(phase % period);
  return p < span ? p : static_cast<int>(period) - p;
}

}  // namespace

std::string SceneCaption(uint32_t frameNumber, uint32_t timestamp) {
  const std::time_t t = timestamp;
  std::tm tm{};
  bf::UtcCalendarTime(t, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "#%06u %04d-%02d-%02d %02d:%02d:%02d", frameNumber % 1000000u,
                tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

SimScene::SimScene(PictureSize size)
    : size_(size), rgb_(static_cast<std::size_t>(size.width) * size.height * 3) {
  FillBackdrop();
}

void SimScene::FillBackdrop() {
  backdrop_.resize(rgb_.size());
  const int w = size_.width;
  const int h = size_.height;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &backdrop_[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(40 + 120 * y / std::max(1, h));
      p[1] = static_cast<uint8_t>(70 + 90 * x / std::max(1, w));
      p[2] = static_cast<uint8_t>(150 - 60 * y / std::max(1, h));
    }
  }
}

void SimScene::DrawBox(int x, int y, int w, int h, const uint8_t rgb[3]) {
  const int x0 = std::max(0, x);
  const int y0 = std::max(0, y);
  const int x1 = std::min(size_.width, x + w);
  const int y1 = std::min(size_.height, y + h);
  for (int yy = y0; yy < y1; ++yy) {
    uint8_t* p = &rgb_[(static_cast<std::size_t>(yy) * size_.width + x0) * 3];
    for (int xx = x0; xx < x1; ++xx, p += 3) {
      p[0] = rgb[0];
      p[1] = rgb[1];
      p[2] = rgb[2];
    }
  }
}

void SimScene::DrawDisc(int cx, int cy, int r, const uint8_t rgb[3]) {
  for (int dy = -r; dy <= r; ++dy) {
    int half = 0;
    while ((half + 1) * (half + 1) + dy * dy <= r * r) ++half;
    DrawBox(cx - half, cy + dy, 2 * half + 1, 1, rgb);
  }
}

void SimScene::DrawText(int x, int y, int scale, const std::string& text, const uint8_t rgb[3]) {
  for (char c : text) {
    const Glyph glyph = GlyphOf(c);
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if ((glyph[static_cast<std::size_t>(row)] >> (kGlyphWidth - 1 - col) & 1) != 0) {
          DrawBox(x + col * scale, y + row * scale, scale, scale, rgb);
        }
      }
    }
    x += (kGlyphWidth + 1) * scale;
  }
}

const std::vector<uint8_t>& SimScene::Render(uint32_t frameNumber, uint32_t sceneTimeMs,
                                             uint32_t timestamp, bool plain) {
  std::copy(backdrop_.begin(), backdrop_.end(), rgb_.begin());
  const int w = size_.width;
  const int h = size_.height;
  const int unit = std::max(1, w / 160);
  if (!plain) {
    static constexpr uint8_t kDisc[3] = {230, 200, 40};
    static constexpr uint8_t kBar[3] = {200, 40, 60};
    const int r = h / 8;
    const uint64_t t = sceneTimeMs;
    DrawDisc(r + Bounce(t / 8, w - 2 * r), 2 * r + Bounce(t / 11, h - 3 * r), r, kDisc);
    DrawBox(Bounce(uint64_t{frameNumber} * 7 * unit, w - 12 * unit), h - 20 * unit, 12 * unit,
            12 * unit, kBar);
  }
  static constexpr uint8_t kTextBack[3] = {16, 16, 16};
  static constexpr uint8_t kTextInk[3] = {240, 240, 240};
  const std::string caption = SceneCaption(frameNumber, timestamp);
  const int scale = unit;
  DrawBox(0, 0, static_cast<int>(caption.size()) * 6 * scale + 4 * scale, 11 * scale, kTextBack);
  DrawText(2 * scale, 2 * scale, scale, caption, kTextInk);
  return rgb_;
}

}  // namespace bf::sim
