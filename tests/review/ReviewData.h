#pragma once
// Frame indexes for the review tests: crafted entries, and recordings as `bfk sample` writes
// them (the simulated camera's recordings days apart, with damaged stretches between them).
#include <cstdint>
#include <span>
#include <vector>

#include "frames/FrameHeader.h"
#include "recordings/FrameIndex.h"
#include "sim/FrameMaker.h"
#include "sim/Recordings.h"

namespace bf::test {

struct EntryShape {
  uint32_t timestamp = 0;
  uint8_t compression = 2;
  uint8_t monochrome = 0;
  uint16_t recordLength = 1016;
};

// Entries laid back to back as their record lengths place them, as an undamaged file would.
inline FrameIndex IndexOf(const std::vector<EntryShape>& shapes) {
  FrameIndex index;
  uint64_t offset = 0;
  for (const EntryShape& s : shapes) {
    index.push_back(
        {FrameHeader::Make(s.recordLength, s.timestamp, s.compression, s.monochrome, 3, 0),
         offset});
    offset += kFrameHeaderSize + PayloadLength(index.back().header);
  }
  return index;
}

inline FrameIndex IndexOfTimes(const std::vector<uint32_t>& times) {
  std::vector<EntryShape> shapes;
  for (uint32_t t : times) shapes.push_back({.timestamp = t});
  return IndexOf(shapes);
}

// The bytes `bfk sample` writes for the plan (without its erased tail) and their index.
struct SampleRecording {
  explicit SampleRecording(const sim::RecordingPlan& plan) {
    sim::FrameMaker maker(PictureSize{});
    sim::WriteRecordings(
        plan, maker, [&](const uint8_t* p, std::size_t n) { bytes.insert(bytes.end(), p, p + n); });
    bytes.insert(bytes.end(), 16, 0xFF);
    index = BuildFrameIndex(std::span<const uint8_t>(bytes));
  }
  std::vector<uint8_t> bytes;
  FrameIndex index;
};

inline sim::RecordingPlan SamplePlan(uint32_t frames, uint32_t recordings, bool damaged) {
  sim::RecordingPlan plan;
  plan.frames = frames;
  plan.recordings = recordings;
  plan.damaged = damaged;
  plan.reusePayloads = true;
  return plan;
}

}  // namespace bf::test
