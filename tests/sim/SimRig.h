#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "frames/FrameHeader.h"
#include "host/TickSource.h"
#include "link/FTD2xx.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"

namespace bf::test {

// A simulated camera on a virtual clock behind the real device link, opened as the program
// opens it.
struct SimRig {
  explicit SimRig(const sim::SimOptions& options = {})
      : camera(std::make_shared<sim::SimCamera>(options, clock)), link(camera, clock) {
    link.Open(0);
  }

  // Sends one code byte and reads up to `room` bytes with one link read.
  std::vector<uint8_t> Ask(uint8_t code, uint32_t room = 64) {
    link.WriteByte(code);
    return ReadOnce(room);
  }
  std::vector<uint8_t> ReadOnce(uint32_t room) {
    std::vector<uint8_t> bytes(room);
    bytes.resize(link.Read(bytes.data(), room));
    return bytes;
  }
  // Everything that arrives until the link stays silent for 200 ms.
  std::vector<uint8_t> Drain() {
    std::vector<uint8_t> all;
    std::vector<uint8_t> chunk(1 << 16);
    for (;;) {
      const uint32_t n = link.ReadWithTimeout(chunk.data(), static_cast<uint32_t>(chunk.size()));
      if (n == 0) return all;
      all.insert(all.end(), chunk.begin(), chunk.begin() + n);
    }
  }
  uint32_t Queued() { return link.GetQueueStatus(); }

  struct Frame {
    FrameHeader header;
    std::vector<uint8_t> payload;
    uint64_t arrivedMs = 0;
  };
  // One frame record as the live view reads it; nothing when the header does not arrive
  // within waitMs or is not a frame header.
  std::optional<Frame> ReadFrame(uint64_t waitMs = 15'000) {
    uint8_t head[16] = {};
    const uint64_t start = clock.NowMs();
    uint32_t n = 0;
    while (n == 0 && clock.NowMs() - start < waitMs) n = link.Read(head, 16);
    if (n != 16 || !IsFrameHeader(head)) return std::nullopt;
    Frame f;
    f.header = FrameHeader::FromBytes(head);
    f.arrivedMs = clock.NowMs();
    f.payload.resize(PayloadLength(f.header));
    f.payload.resize(
        link.ReadWithTimeout(f.payload.data(), static_cast<uint32_t>(f.payload.size())));
    return f;
  }

  VirtualClock clock;
  std::shared_ptr<sim::SimCamera> camera;
  FTD2xx link;
};

inline uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at = 0) {
  return b[at] | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}

// Frame records back to back from offset 0; stops at the first byte that is not a header.
struct RecordScan {
  std::vector<std::size_t> offsets;
  std::size_t end = 0;  // offset after the last whole record
};
inline RecordScan ScanRecords(const std::vector<uint8_t>& bytes, std::size_t from = 0) {
  RecordScan scan;
  std::size_t at = from;
  while (at + 16 <= bytes.size() && IsFrameHeader(bytes.data() + at)) {
    const auto h = FrameHeader::FromBytes(bytes.data() + at);
    if (at + h.RecordLength() > bytes.size()) break;
    scan.offsets.push_back(at);
    at += h.RecordLength();
  }
  scan.end = at;
  return scan;
}

}  // namespace bf::test
