#include "sim/FrameMaker.h"

#include <stdexcept>

#include "frames/FrameHeader.h"

namespace bf::sim {

namespace {

constexpr std::size_t kSector = 512;
// The largest sector-aligned record that still fits the length field.
constexpr std::size_t kMaxAlignedRecord = kMaxRecordSize / kSector * kSector;

std::size_t RecordSizeFor(std::size_t payload, bool sectorAligned) {
  const std::size_t plain = kFrameHeaderSize + payload;
  return sectorAligned ? (plain + kSector - 1) / kSector * kSector : plain;
}

bool Fits(std::size_t payload, bool sectorAligned) {
  return RecordSizeFor(payload, sectorAligned) <=
         (sectorAligned ? kMaxAlignedRecord : kMaxRecordSize);
}

}  // namespace

std::vector<uint8_t> MakeRecordFromPayload(const std::vector<uint8_t>& payload, uint32_t timestamp,
                                           const FrameSettings& settings, bool sectorAligned) {
  if (!Fits(payload.size(), sectorAligned)) throw std::length_error("frame payload too large");
  const std::size_t size = RecordSizeFor(payload.size(), sectorAligned);
  const FrameHeader header = FrameHeader::Make(
      static_cast<uint16_t>(size), timestamp, settings.compression, settings.monochrome ? 1 : 0,
      settings.frameRateIndex, settings.motionDetector ? 0x01 : 0x00);
  std::vector<uint8_t> record(size, 0x00);
  std::copy(header.bytes.begin(), header.bytes.end(), record.begin());
  std::copy(payload.begin(), payload.end(), record.begin() + kFrameHeaderSize);
  return record;
}

FrameMaker::FrameMaker(PictureSize size) : scene_(size), encoder_(size) {}

std::vector<uint8_t> FrameMaker::MakeRecord(uint32_t frameNumber, uint32_t sceneTimeMs,
                                            uint32_t timestamp, const FrameSettings& settings,
                                            bool sectorAligned) {
  const uint8_t compression = settings.compression <= 4 ? settings.compression : 4;
  // The scene is designed to stay far below the limit; should a picture ever come out too
  // large, the camera sends the plain scene, then the plain scene at the lowest quality.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto& rgb = scene_.Render(frameNumber, sceneTimeMs, timestamp, attempt > 0);
    const uint8_t level = attempt < 2 ? compression : 0;
    std::vector<uint8_t> payload = encoder_.Encode(rgb.data(), settings.monochrome, level);
    if (Fits(payload.size(), sectorAligned)) {
      FrameSettings used = settings;
      used.compression = level;
      return MakeRecordFromPayload(payload, timestamp, used, sectorAligned);
    }
  }
  throw std::length_error("simulated picture does not fit a frame record");
}

}  // namespace bf::sim
