#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "frames/FrameHeader.h"
#include "frames/JpegEncoder.h"
#include "recordings/FrameDisplay.h"
#include "support/TempFolder.h"

namespace bf::test {

// Recording bytes built from crafted frame records: header, then a payload of filler bytes
// that ends with the end-of-image marker FF D9.
struct RecordShape {
  uint16_t recordLength = 1016;
  uint32_t timestamp = 100;
  uint8_t compression = 2;
  uint8_t monochrome = 0;
  uint8_t frameRateIndex = 6;
  uint8_t flags = 0;
};

inline void AppendRecord(std::vector<uint8_t>& out, const RecordShape& s) {
  const FrameHeader h = FrameHeader::Make(s.recordLength, s.timestamp, s.compression, s.monochrome,
                                          s.frameRateIndex, s.flags);
  out.insert(out.end(), h.bytes.begin(), h.bytes.end());
  const std::size_t payload = PayloadLength(h);
  for (std::size_t i = 0; i < payload; ++i) {
    out.push_back(static_cast<uint8_t>(i + s.timestamp));
  }
  if (payload >= 2) {
    out[out.size() - 2] = 0xFF;
    out[out.size() - 1] = 0xD9;
  }
}

// Frames with the given timestamps, 1016-byte records.
inline std::vector<uint8_t> RecordingWithTimestamps(const std::vector<uint32_t>& stamps) {
  std::vector<uint8_t> bytes;
  for (uint32_t t : stamps) AppendRecord(bytes, RecordShape{.timestamp = t});
  return bytes;
}

// The same with a real picture at the start of the payload, one that decodes with the table
// generated for 320x240 (a flat grey picture fits a record of 2016 bytes or more); the filler
// after its end marker is never read by a decoder.
inline void AppendPictureRecord(std::vector<uint8_t>& out, const RecordShape& s) {
  const std::size_t start = out.size() + kFrameHeaderSize;
  AppendRecord(out, s);
  FramePayloadEncoder encoder({320, 240});
  const std::vector<uint8_t> grey(320 * 240 * 3, 128);
  const std::vector<uint8_t> picture =
      encoder.Encode(grey.data(), s.monochrome != 0, s.compression);
  if (start + picture.size() > out.size()) throw std::logic_error("record too short for a picture");
  std::copy(picture.begin(), picture.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
}

inline std::vector<uint8_t> PictureRecordingWithTimestamps(const std::vector<uint32_t>& stamps) {
  std::vector<uint8_t> bytes;
  for (uint32_t t : stamps) {
    AppendPictureRecord(bytes, RecordShape{.recordLength = 2016, .timestamp = t});
  }
  return bytes;
}

using TempDir = TempFolder;

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// A display that remembers what it was asked to show, and when.
class RecordingDisplay final : public FrameDisplay {
 public:
  struct Shown {
    FrameHeader header;
    std::vector<uint8_t> payload;
    uint64_t atMs = 0;
  };
  std::vector<Shown> shown;
  std::vector<uint32_t> positions;
  int clears = 0;
  std::function<uint64_t()> now = [] { return uint64_t{0}; };
  std::function<void(uint32_t)> onPosition;
  std::function<void()> onShow;  // after noting the frame, e.g. to let the show take time

  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    shown.push_back(Shown{header, {payload.begin(), payload.end()}, now()});
    if (onShow) onShow();
    return true;
  }
  void ClearDisplay() override { ++clears; }
  void PostPosition(uint32_t position) override {
    positions.push_back(position);
    if (onPosition) onPosition(position);
  }
  std::vector<uint64_t> Times() const {
    std::vector<uint64_t> t;
    for (const Shown& s : shown) t.push_back(s.atMs);
    return t;
  }
  std::vector<uint32_t> Stamps() const {
    std::vector<uint32_t> t;
    for (const Shown& s : shown) t.push_back(s.header.Timestamp());
    return t;
  }
};

}  // namespace bf::test
