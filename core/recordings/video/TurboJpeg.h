#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace bf::video {

// Size and chroma layout of a JPEG, read from its markers without decoding the scan.
struct JpegLayout {
  int width = 0;
  int height = 0;
  int subsampling = 0;  // TJSAMP_*
};

// A decoded picture in the JPEG's own planar YCbCr layout (full range), one to three planes.
struct YuvPicture {
  JpegLayout layout;
  int planeCount = 0;
  int widths[3] = {};
  int heights[3] = {};
  std::vector<uint8_t> planes[3];
};

// The JPEG tools of libjpeg-turbo that the video export needs: header probe, lossless rotation
// by quarter turns (in the DCT domain, so no generation loss), decoding to planar YCbCr and
// encoding from it (for pictures drawn on).
// One handle of each kind per object; one thread at a time.
class TurboJpeg {
 public:
  TurboJpeg();
  ~TurboJpeg();
  TurboJpeg(const TurboJpeg&) = delete;
  TurboJpeg& operator=(const TurboJpeg&) = delete;

  // False when the markers do not describe a picture libjpeg-turbo can decode.
  bool Probe(std::span<const uint8_t> jpeg, JpegLayout& out);
  // Turned clockwise by `degrees` (90, 180 or 270). Edge blocks that are not whole are dropped
  // (a picture whose sides are multiples of the block size keeps its size). False on failure.
  bool Rotate(std::span<const uint8_t> jpeg, int degrees, std::vector<uint8_t>& out);
  // Full decode; false when the data does not decode.
  bool Decode(std::span<const uint8_t> jpeg, YuvPicture& out);
  // A picture as Decode gives it, encoded again in its own layout at the libjpeg quality
  // (1..100); false on failure.
  bool Encode(const YuvPicture& picture, int quality, std::vector<uint8_t>& out);

 private:
  void* decompressor_;  // tjhandle
  void* transformer_;   // tjhandle
  void* compressor_;    // tjhandle
};

}  // namespace bf::video
