#include "frames/HeaderGenerator.h"

#include <stdexcept>
#include <string>

namespace bf {

namespace {

constexpr uint8_t kComMarker = 0xFE;
constexpr std::size_t kComOverhead = 4;  // FF FE and the two length bytes

// Where the padding comment goes: after the JFIF APP0 segment when there is one, else after SOI.
std::size_t CommentInsertOffset(const std::vector<uint8_t>& part) {
  if (part.size() >= 6 && part[2] == 0xFF && part[3] == 0xE0) {
    return 4 + static_cast<std::size_t>(part[4] << 8 | part[5]);
  }
  return 2;
}

std::vector<uint8_t> PaddedEntry(PictureSize size, bool monochrome, uint8_t compression) {
  std::vector<uint8_t> part = NaturalLeadingPart(size, monochrome, compression);
  const std::size_t target =
      monochrome ? JpegHeaderTable::kMonochromeEntrySize : JpegHeaderTable::kColourEntrySize;
  if (part.size() == target) return part;
  if (part.size() + kComOverhead > target) {
    throw std::runtime_error("JPEG leading part of " + std::to_string(part.size()) +
                             " bytes does not fit the " + std::to_string(target) +
                             "-byte header table entry (" + (monochrome ? "BW" : "colour") +
                             ", compression " + std::to_string(compression) + ")");
  }
  const std::size_t segment = target - part.size();
  const std::size_t lengthField = segment - 2;  // counts its own two bytes, not the marker
  std::vector<uint8_t> comment(segment, 0);
  comment[0] = 0xFF;
  comment[1] = kComMarker;
  comment[2] = static_cast<uint8_t>(lengthField >> 8);
  comment[3] = static_cast<uint8_t>(lengthField);
  const auto at = part.begin() + static_cast<std::ptrdiff_t>(CommentInsertOffset(part));
  part.insert(at, comment.begin(), comment.end());
  return part;
}

}  // namespace

std::vector<uint8_t> NaturalLeadingPart(PictureSize size, bool monochrome, uint8_t compression) {
  // The leading part does not depend on the picture's content: a flat grey picture will do.
  const std::vector<uint8_t> grey(
      static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3, 128);
  FramePayloadEncoder encoder(size);
  std::vector<uint8_t> file = encoder.EncodeFile(grey.data(), monochrome, compression);
  const std::size_t end = ScanDataOffset(file);
  if (end == 0) throw std::runtime_error("libjpeg wrote no start-of-scan header");
  file.resize(end);
  return file;
}

std::vector<uint8_t> GenerateHeaderTableBytes(PictureSize size) {
  std::vector<uint8_t> bytes;
  bytes.reserve(JpegHeaderTable::kFileSize);
  for (bool monochrome : {true, false}) {
    for (uint8_t c = 0; c < JpegHeaderTable::kLevels; ++c) {
      const auto entry = PaddedEntry(size, monochrome, c);
      bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
  }
  return bytes;
}

JpegHeaderTable GenerateHeaderTable(PictureSize size) {
  const auto bytes = GenerateHeaderTableBytes(size);
  return JpegHeaderTable(
      std::span<const uint8_t, JpegHeaderTable::kFileSize>(bytes.data(), bytes.size()));
}

}  // namespace bf
