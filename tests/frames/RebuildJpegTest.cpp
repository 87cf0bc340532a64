#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "FrameTestFiles.h"
#include "frames/RebuildJpeg.h"

namespace bf {
namespace {

class RebuildJpegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto file = test::PatternTableFile(JpegHeaderTable::kFileSize);
    table_ = JpegHeaderTable(std::span<const uint8_t, JpegHeaderTable::kFileSize>(file));
  }
  static std::vector<uint8_t> Payload(std::size_t size) {
    std::vector<uint8_t> p(size);
    for (std::size_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 7 + 3);
    return p;
  }
  void ExpectEntryThenPayload(const std::vector<uint8_t>& jpeg, uint8_t c, uint8_t m,
                              const std::vector<uint8_t>& payload, std::size_t payloadBytes) {
    const auto entry = table_.SelectHeaderEntry(c, m);
    ASSERT_EQ(jpeg.size(), entry.size() + payloadBytes);
    EXPECT_TRUE(std::equal(entry.begin(), entry.end(), jpeg.begin()));
    EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + static_cast<long>(payloadBytes),
                           jpeg.begin() + static_cast<long>(entry.size())));
  }
  JpegHeaderTable table_;
};

TEST_F(RebuildJpegTest, EntryFollowedByExactlyThePayloadLength) {
  const auto payload = Payload(5000);
  // The caller's buffer may be longer than the record (the next record follows in a file).
  ExpectEntryThenPayload(RebuildJpeg(table_, FrameHeader::Make(4016, 0, 1, 0, 0, 0), payload), 1, 0,
                         payload, 4000);
  ExpectEntryThenPayload(RebuildJpeg(table_, FrameHeader::Make(2016, 0, 4, 1, 0, 0), payload), 4, 1,
                         payload, 2000);
}

TEST_F(RebuildJpegTest, EmptyPayloadGivesTheBareEntry) {
  const auto jpeg = RebuildJpeg(table_, FrameHeader::Make(16, 0, 2, 0, 0, 0), {});
  const auto entry = table_.SelectHeaderEntry(2, 0);
  EXPECT_EQ(jpeg, std::vector<uint8_t>(entry.begin(), entry.end()));
}

TEST_F(RebuildJpegTest, LengthIsNotReducedToSixteenBits) {
  const auto payload = Payload(65535);
  ExpectEntryThenPayload(RebuildJpeg(table_, FrameHeader::Make(65535, 0, 0, 0, 0, 0), payload), 0,
                         0, payload, 65519);  // 66217 bytes
  ExpectEntryThenPayload(RebuildJpeg(table_, FrameHeader::Make(5, 0, 4, 0, 0, 0), payload), 4, 0,
                         payload, 65525);  // a wrapped length: 66223 bytes
}

TEST_F(RebuildJpegTest, PayloadShorterThanAnnouncedCopiesOnlyWhatIsThere) {
  const auto payload = Payload(100);
  ExpectEntryThenPayload(RebuildJpeg(table_, FrameHeader::Make(4016, 0, 3, 2, 0, 0), payload), 3, 2,
                         payload, 100);
}

TEST_F(RebuildJpegTest, CompressionOutsideTheTableIsNeverRebuilt) {
  const auto payload = Payload(100);
  for (int c : {5, 7, 255}) {
    EXPECT_TRUE(
        RebuildJpeg(table_, FrameHeader::Make(116, 0, static_cast<uint8_t>(c), 0, 0, 0), payload)
            .empty());
  }
}

}  // namespace
}  // namespace bf
