#include <gtest/gtest.h>

#include <algorithm>

#include "FrameTestFiles.h"
#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"

namespace bf {
namespace {

class GeneratedTable : public ::testing::TestWithParam<PictureSize> {};

// The generator and the encoder must agree: every entry with a real payload is a whole JPEG of
// the right size and kind, exactly as a frame from the camera would be rebuilt.
TEST_P(GeneratedTable, EveryEntryWithAnEncodedPayloadDecodes) {
  const PictureSize size = GetParam();
  const JpegHeaderTable table = GenerateHeaderTable(size);
  const auto picture = test::TestPicture(size.width, size.height);
  FramePayloadEncoder encoder(size);
  for (uint8_t mono : {uint8_t{0}, uint8_t{1}}) {
    for (uint8_t c = 0; c < 5; ++c) {
      SCOPED_TRACE(testing::Message() << "mono " << int(mono) << " compression " << int(c));
      const auto payload = encoder.Encode(picture.data(), mono != 0, c);
      ASSERT_GE(payload.size(), 2u);
      EXPECT_EQ(payload[payload.size() - 2], 0xFF);
      EXPECT_EQ(payload.back(), 0xD9);
      ASSERT_LE(payload.size(), 65519u);
      const auto header =
          FrameHeader::Make(static_cast<uint16_t>(payload.size() + 16), 0, c, mono, 0, 0);
      const auto info = DecodeCheckJpeg(RebuildJpeg(table, header, payload));
      ASSERT_TRUE(info.ok) << info.error;
      EXPECT_EQ(info.warnings, 0);
      EXPECT_EQ(info.width, size.width);
      EXPECT_EQ(info.height, size.height);
      EXPECT_EQ(info.components, mono ? 1 : 3);
    }
  }
}

TEST_P(GeneratedTable, FileFormHasTheExactEntrySizes) {
  const auto bytes = GenerateHeaderTableBytes(GetParam());
  ASSERT_EQ(bytes.size(), JpegHeaderTable::kFileSize);
  // Each entry starts a JPEG and ends with its start-of-scan header, at the fixed offsets.
  for (std::size_t k = 0; k < 10; ++k) {
    const std::size_t start = k < 5 ? k * 688 : 3440 + (k - 5) * 698;
    const std::size_t size = k < 5 ? 688 : 698;
    SCOPED_TRACE(testing::Message() << "entry " << k);
    EXPECT_EQ(bytes[start], 0xFF);
    EXPECT_EQ(bytes[start + 1], 0xD8);
    const std::span<const uint8_t> entry(bytes.data() + start, size);
    EXPECT_EQ(ScanDataOffset(entry), size);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeneratedTable,
                         ::testing::Values(PictureSize{320, 240}, PictureSize{640, 480}),
                         [](const auto& param) {
                           return std::to_string(param.param.width) + "x" +
                                  std::to_string(param.param.height);
                         });

TEST(GeneratedTableEntries, LevelsDifferAndNaturalPartsFitWithRoomForTheComment) {
  const PictureSize size{320, 240};
  for (bool mono : {true, false}) {
    std::vector<std::vector<uint8_t>> parts;
    for (uint8_t c = 0; c < 5; ++c) {
      parts.push_back(NaturalLeadingPart(size, mono, c));
      EXPECT_LE(parts.back().size() + 4, mono ? 688u : 698u);
    }
    // Quantisation tables differ per level, so the entries must too.
    for (std::size_t a = 0; a < parts.size(); ++a) {
      for (std::size_t b = a + 1; b < parts.size(); ++b) EXPECT_NE(parts[a], parts[b]);
    }
  }
}

TEST(FramePayloadEncoder, ReuseGivesTheSameBytesAsAFreshEncoder) {
  const PictureSize size{64, 48};
  const auto a = test::TestPicture(size.width, size.height);
  std::vector<uint8_t> b(a.size(), 90);
  FramePayloadEncoder reused(size);
  reused.Encode(b.data(), false, 4);
  reused.Encode(b.data(), true, 0);
  const auto again = reused.Encode(a.data(), false, 2);
  EXPECT_EQ(again, FramePayloadEncoder(size).Encode(a.data(), false, 2));
  EXPECT_NE(again, reused.Encode(a.data(), false, 3));
}

TEST(FramePayloadEncoder, HigherLevelsKeepMoreDetail) {
  const PictureSize size{320, 240};
  const auto picture = test::TestPicture(size.width, size.height);
  FramePayloadEncoder encoder(size);
  std::size_t previous = 0;
  for (uint8_t c = 0; c < 5; ++c) {
    const std::size_t bytes = encoder.Encode(picture.data(), false, c).size();
    EXPECT_GT(bytes, previous) << "compression " << int(c);
    previous = bytes;
  }
}

TEST(JpegInfo, BrokenDataIsReportedNotFatal) {
  EXPECT_FALSE(DecodeCheckJpeg({}).ok);
  const std::vector<uint8_t> garbage(100, 0x55);
  const auto info = DecodeCheckJpeg(garbage);
  EXPECT_FALSE(info.ok);
  EXPECT_FALSE(info.error.empty());
  // A rebuilt frame whose payload was cut short still decodes, but with warnings.
  const PictureSize size{320, 240};
  const auto picture = test::TestPicture(size.width, size.height);
  auto payload = FramePayloadEncoder(size).Encode(picture.data(), false, 2);
  payload.resize(payload.size() / 2);
  const auto header = FrameHeader::Make(static_cast<uint16_t>(payload.size() + 16), 0, 2, 0, 0, 0);
  const auto cut = DecodeCheckJpeg(RebuildJpeg(GenerateHeaderTable(size), header, payload));
  EXPECT_GT(cut.warnings, 0);
}

TEST(ScanDataOffset, RefusesMalformedSegments) {
  EXPECT_EQ(ScanDataOffset(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9}), 0u);
  EXPECT_EQ(ScanDataOffset(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDA, 0x00}), 0u);
  EXPECT_EQ(ScanDataOffset(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x09, 1, 2}), 0u);
  EXPECT_EQ(ScanDataOffset(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x04, 1, 2, 9}), 8u);
}

}  // namespace
}  // namespace bf
