#include "frames/RebuildJpeg.h"

#include <algorithm>

namespace bf {

std::vector<uint8_t> RebuildJpeg(const JpegHeaderTable& table, const FrameHeader& header,
                                 std::span<const uint8_t> payload) {
  const auto entry = table.SelectHeaderEntry(header.Compression(), header.Monochrome());
  if (entry.empty()) return {};
  const std::size_t present = std::min<std::size_t>(PayloadLength(header), payload.size());
  std::vector<uint8_t> jpeg;
  jpeg.reserve(entry.size() + present);
  jpeg.insert(jpeg.end(), entry.begin(), entry.end());
  jpeg.insert(jpeg.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(present));
  return jpeg;
}

}  // namespace bf
