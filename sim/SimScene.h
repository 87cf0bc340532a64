#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "frames/JpegEncoder.h"

namespace bf::sim {

// The synthetic picture of the simulated camera: a smooth backdrop, a bouncing disc and a
// sliding bar whose positions follow the scene time, and a text line with the frame number and
// the camera time drawn with a built-in bitmap font. Flat areas and smooth shading keep every
// picture well inside the 64 KiB record limit at any quality.
// Threads: one per instance.
class SimScene {
 public:
  explicit SimScene(PictureSize size);
  PictureSize Size() const { return size_; }
  // Renders one picture (RGB, rows top to bottom) and returns it; the buffer is reused.
  // plain drops the moving shapes: a fallback that always compresses small.
  const std::vector<uint8_t>& Render(uint32_t frameNumber, uint32_t sceneTimeMs, uint32_t timestamp,
                                     bool plain = false);

 private:
  void FillBackdrop();
  void DrawDisc(int cx, int cy, int r, const uint8_t rgb[3]);
  void DrawBox(int x, int y, int w, int h, const uint8_t rgb[3]);
  void DrawText(int x, int y, int scale, const std::string& text, const uint8_t rgb[3]);

  PictureSize size_;
  std::vector<uint8_t> backdrop_;
  std::vector<uint8_t> rgb_;
};

// "#000123 2009-06-15 12:00:00" (UTC) for a frame number and a camera timestamp.
std::string SceneCaption(uint32_t frameNumber, uint32_t timestamp);

}  // namespace bf::sim
