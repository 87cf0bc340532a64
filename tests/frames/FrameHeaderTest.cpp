#include <gtest/gtest.h>

#include <array>

#include "frames/FrameHeader.h"

namespace bf {
namespace {

FrameHeader Raw(std::array<uint8_t, 16> bytes) {
  return FrameHeader::FromBytes(bytes.data());
}

TEST(FrameHeader, FieldsUseTheirOwnByteOrders) {
  const FrameHeader h =
      Raw({0xFF, 0xFE, 'J', 'P', 'E', 'G', 0x12, 0x34, 0x78, 0x56, 0x34, 0x12, 3, 0, 6, 0x81});
  EXPECT_EQ(h.RecordLength(), 4660);  // big-endian, unlike everything else
  EXPECT_EQ(PayloadLength(h), 4644);
  EXPECT_EQ(h.Timestamp(), 0x12345678u);
  EXPECT_EQ(h.Marker(), 0xFEFF);
  EXPECT_EQ(h.Compression(), 3);
  EXPECT_EQ(h.Monochrome(), 0);
  EXPECT_EQ(h.FrameRateIndex(), 6);
  EXPECT_TRUE(h.MotionDetectorOn());
  // Make writes the same bytes the accessors read.
  EXPECT_EQ(FrameHeader::Make(4660, 0x12345678u, 3, 0, 6, 0x81).bytes, h.bytes);
}

TEST(FrameHeader, PayloadLengthWrapsInSixteenBits) {
  EXPECT_EQ(PayloadLength(FrameHeader::Make(16, 0, 0, 0, 0, 0)), 0);
  EXPECT_EQ(PayloadLength(FrameHeader::Make(5, 0, 0, 0, 0, 0)), 65525);
  EXPECT_EQ(PayloadLength(FrameHeader::Make(0, 0, 0, 0, 0, 0)), 65520);
  EXPECT_EQ(PayloadLength(FrameHeader::Make(65535, 0, 0, 0, 0, 0)), 65519);
}

TEST(FrameHeader, ValidityLooksAtMarkerAndTagOnly) {
  EXPECT_TRUE(IsFrameHeader(FrameHeader::Make(0, 0xFFFFFFFF, 200, 7, 99, 0xFF)));
  EXPECT_FALSE(IsFrameHeader(Raw({0xFE, 0xFF, 'J', 'P', 'E', 'G', 0, 16})));  // swapped marker
  EXPECT_FALSE(IsFrameHeader(Raw({0xFF, 0xFE, 'j', 'p', 'e', 'g', 0, 16})));  // lower case
  EXPECT_FALSE(IsFrameHeader(Raw({0xFF, 0xFE, 'J', 'P', 'E', 'g', 0, 16})));
  EXPECT_FALSE(IsFrameHeader(Raw({0xFF, 0xD8, 'J', 'P', 'E', 'G', 0, 16})));
  EXPECT_FALSE(IsFrameHeader(FrameHeader{}));  // the empty display's header
}

}  // namespace
}  // namespace bf
