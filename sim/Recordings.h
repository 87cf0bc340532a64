#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/FrameMaker.h"

namespace bf::sim {

// What the camera had recorded before: frames spread over several recordings on different
// days, each recording with its own settings, optionally with damaged stretches between
// recordings (bytes that are neither a frame header nor erased flash, a multiple of 512 bytes
// long, as left behind by an interrupted write).
struct RecordingPlan {
  uint32_t frames = 0;
  uint32_t recordings = 1;
  bool damaged = false;
  bool sectorAligned = false;
  // Reuse a few encoded pictures under fresh headers: much faster, for big sample files.
  bool reusePayloads = false;
  uint32_t firstTimestamp = 1'245'067'200;
  uint64_t seed = 1;
};

using ByteSink = std::function<void(const uint8_t* data, std::size_t n)>;

// Sends the plan's frame records and damaged stretches, in recording order, to sink.
void WriteRecordings(const RecordingPlan& plan, FrameMaker& maker, const ByteSink& sink);

// Timestamp of the first frame of recording r: one day (and an hour) after the previous one.
uint32_t RecordingStart(const RecordingPlan& plan, uint32_t recording);
// Settings used for recording r (compression and colour vary from one recording to the next).
FrameSettings RecordingSettings(uint32_t recording);

// A short run of old frame records, repeated to stand for a flash that was filled before;
// each repetition carries later timestamps.
class RecordTile {
 public:
  RecordTile(FrameMaker& maker, uint32_t firstTimestamp, bool sectorAligned);
  std::size_t Size() const { return bytes_.size(); }
  // The tiled content of the data space from dataOffset.
  void Fill(uint64_t dataOffset, uint8_t* dst, std::size_t n) const;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<std::size_t> headerOffsets_;
  uint32_t firstTimestamp_;
};

}  // namespace bf::sim
