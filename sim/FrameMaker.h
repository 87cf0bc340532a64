#pragma once
#include <cstdint>
#include <vector>

#include "frames/JpegEncoder.h"
#include "sim/SimScene.h"

namespace bf::sim {

// Camera settings that travel in every frame header.
struct FrameSettings {
  uint8_t compression = 2;  // 0..4
  bool monochrome = false;
  uint8_t frameRateIndex = 3;
  bool motionDetector = false;
};

// The largest record the 16-bit length field can describe.
inline constexpr std::size_t kMaxRecordSize = 65'535;

// Renders the scene and encodes it exactly as the camera stores and streams it: a FrameHeader
// (timestamp = camera clock) followed by the JPEG payload that goes with the generated header
// table of the same picture size.
// Threads: one per instance.
class FrameMaker {
 public:
  explicit FrameMaker(PictureSize size);

  PictureSize Size() const { return scene_.Size(); }
  // A complete record, never longer than kMaxRecordSize. sectorAligned pads the payload after
  // its FF D9 so that the record length is a multiple of 512 (the type 0 camera starts every
  // record on a sector); decoders ignore bytes after the end-of-image marker.
  std::vector<uint8_t> MakeRecord(uint32_t frameNumber, uint32_t sceneTimeMs, uint32_t timestamp,
                                  const FrameSettings& settings, bool sectorAligned = false);

 private:
  SimScene scene_;
  FramePayloadEncoder encoder_;
};

// A record around a given payload (for reusing one encoded payload under many headers).
// The payload must fit: 16 + payload (+ padding) <= kMaxRecordSize.
std::vector<uint8_t> MakeRecordFromPayload(const std::vector<uint8_t>& payload, uint32_t timestamp,
                                           const FrameSettings& settings, bool sectorAligned);

}  // namespace bf::sim
