#include "sim/Recordings.h"

#include <algorithm>
#include <random>

#include "frames/FrameHeader.h"

namespace bf::sim {

namespace {

constexpr uint32_t kDaySeconds = 86'400;
constexpr uint32_t kTileFrames = 8;
constexpr uint32_t kDistinctPayloads = 4;

}  // namespace

uint32_t RecordingStart(const RecordingPlan& plan, uint32_t recording) {
  return plan.firstTimestamp + recording * (kDaySeconds + 3600);
}

FrameSettings RecordingSettings(uint32_t recording) {
  FrameSettings s;
  s.compression = static_cast<uint8_t>((2 + recording) % 5);
  s.monochrome = recording % 3 == 1;
  s.frameRateIndex = 3;  // one frame per second
  return s;
}

void WriteRecordings(const RecordingPlan& plan, FrameMaker& maker, const ByteSink& sink) {
  std::mt19937_64 random(plan.seed);
  const uint32_t recordings = std::max<uint32_t>(1, plan.recordings);
  uint32_t frameNumber = 0;
  for (uint32_t r = 0; r < recordings; ++r) {
    // Damaged stretches come before every other recording after the first.
    if (plan.damaged && r % 2 == 1) {
      std::vector<uint8_t> junk(512 * (1 + random() % 4));
      for (auto& b : junk) b = static_cast<uint8_t>(random() % 0xFF);  // never FF
      sink(junk.data(), junk.size());
    }
    const uint32_t count = plan.frames / recordings + (r < plan.frames % recordings ? 1 : 0);
    const FrameSettings settings = RecordingSettings(r);
    const uint32_t start = RecordingStart(plan, r);
    std::vector<std::vector<uint8_t>> payloads;
    for (uint32_t i = 0; i < count; ++i, ++frameNumber) {
      const uint32_t timestamp = start + i;
      if (!plan.reusePayloads) {
        const auto record =
            maker.MakeRecord(frameNumber, i * 1000, timestamp, settings, plan.sectorAligned);
        sink(record.data(), record.size());
        continue;
      }
      if (payloads.size() < kDistinctPayloads) {
        const auto record = maker.MakeRecord(frameNumber, i * 1000, timestamp, settings, false);
        payloads.emplace_back(record.begin() + kFrameHeaderSize, record.end());
      }
      const auto record = MakeRecordFromPayload(payloads[i % payloads.size()], timestamp, settings,
                                                plan.sectorAligned);
      sink(record.data(), record.size());
    }
  }
}

RecordTile::RecordTile(FrameMaker& maker, uint32_t firstTimestamp, bool sectorAligned)
    : firstTimestamp_(firstTimestamp) {
  FrameSettings settings;
  for (uint32_t i = 0; i < kTileFrames; ++i) {
    headerOffsets_.push_back(bytes_.size());
    const auto record =
        maker.MakeRecord(900'000 + i, i * 1000, firstTimestamp + i, settings, sectorAligned);
    bytes_.insert(bytes_.end(), record.begin(), record.end());
  }
}

void RecordTile::Fill(uint64_t dataOffset, uint8_t* dst, std::size_t n) const {
  const std::size_t size = bytes_.size();
  while (n > 0) {
    const uint64_t tile = dataOffset / size;
    const auto offset = static_cast<std::size_t>(dataOffset % size);
    const std::size_t part = std::min(n, size - offset);
    std::copy_n(bytes_.data() + offset, part, dst);
    // Each repetition carries later timestamps than the one before.
    for (std::size_t j = 0; j < headerOffsets_.size(); ++j) {
      const auto stamp = static_cast<uint32_t>(firstTimestamp_ + tile * headerOffsets_.size() + j);
      const std::size_t at = headerOffsets_[j] + 8;
      for (std::size_t k = 0; k < 4; ++k) {
        if (at + k >= offset && at + k < offset + part) {
          dst[at + k - offset] = static_cast<uint8_t>(stamp >> (8 * k));
        }
      }
    }
    dataOffset += part;
    dst += part;
    n -= part;
  }
}

}  // namespace bf::sim
