#include "recordings/FrameDecodes.h"

#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"
#include "recordings/StillFile.h"

namespace bf {

namespace {

constexpr std::size_t kListedFrames = 10;

}  // namespace

bool FrameDecodes(const JpegHeaderTable& table, const FrameHeader& header,
                  std::span<const uint8_t> payload) {
  const std::vector<uint8_t> jpeg = RebuildJpeg(table, header, payload);
  const JpegInfo info = DecodeCheckJpeg(jpeg, /*quick=*/true);
  if (!info.ok) return false;
  return info.warnings == 0 || MissingPayloadBytes(header, payload.size()) != 0;
}

std::string FrameListText(const std::vector<uint32_t>& frames) {
  std::string text;
  for (std::size_t k = 0; k < frames.size() && k < kListedFrames; ++k) {
    if (k != 0) text += ", ";
    text += std::to_string(frames[k]);
  }
  if (frames.size() > kListedFrames) text += ", ... (" + std::to_string(frames.size()) + " in all)";
  return text;
}

}  // namespace bf
