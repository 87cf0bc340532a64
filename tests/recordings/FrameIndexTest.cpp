#include "recordings/FrameIndex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "RecordingFixture.h"
#include "recordings/Recording.h"

namespace bf {
namespace {

using test::AppendRecord;
using test::RecordSpec;

std::vector<uint8_t> TwoFrames() {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordSpec{.recordLength = 1000, .timestamp = 1});
  AppendRecord(b, RecordSpec{.recordLength = 2000, .timestamp = 2});
  return b;
}

std::vector<uint64_t> Offsets(const FrameIndex& index) {
  std::vector<uint64_t> o;
  for (const FrameIndexEntry& e : index) o.push_back(e.offset);
  return o;
}

TEST(FrameIndex, StopsAtErasedFlashOrEndOfFile) {
  std::vector<uint8_t> b = TwoFrames();
  const FrameIndex atEnd = BuildFrameIndex(b);
  EXPECT_EQ(Offsets(atEnd), (std::vector<uint64_t>{0, 1000}));

  b.insert(b.end(), 16, 0xFF);
  // Whatever follows erased flash is not looked at.
  AppendRecord(b, RecordSpec{.timestamp = 3});
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(Offsets(index), (std::vector<uint64_t>{0, 1000}));
  EXPECT_EQ(index[0].PayloadOffset(), 16u);
  EXPECT_EQ(index[1].PayloadOffset(), 1016u);
  EXPECT_EQ(index[1].header.Timestamp(), 2u);
  EXPECT_EQ(PayloadPresent(index[1], b).size(), 1984u);
}

TEST(FrameIndex, DamagedStretchDropsTheFrameBeforeIt) {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordSpec{.recordLength = 1000, .timestamp = 1});
  b.resize(b.size() + 512, 0x00);  // 40 zeros and more junk, 512 bytes from the frame's end
  AppendRecord(b, RecordSpec{.recordLength = 700, .timestamp = 2});
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].offset, 1512u);
  EXPECT_EQ(index[0].header.Timestamp(), 2u);
}

TEST(FrameIndex, OneDropPerStretchHoweverManyProbes) {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordSpec{.recordLength = 600, .timestamp = 1});
  AppendRecord(b, RecordSpec{.recordLength = 600, .timestamp = 2});
  b.resize(b.size() + 5 * 512, 0x55);
  AppendRecord(b, RecordSpec{.recordLength = 600, .timestamp = 3});
  b.resize(b.size() + 512, 0x00);
  AppendRecord(b, RecordSpec{.recordLength = 600, .timestamp = 4});
  const FrameIndex index = BuildFrameIndex(b);
  std::vector<uint32_t> stamps;
  for (const FrameIndexEntry& e : index) stamps.push_back(e.header.Timestamp());
  EXPECT_EQ(stamps, (std::vector<uint32_t>{1, 4}));
}

TEST(FrameIndex, FilesThatHoldNoUsableFrame) {
  // A frame then zeros to the end of the file: the frame is dropped.
  std::vector<uint8_t> zerosToEnd;
  AppendRecord(zerosToEnd, RecordSpec{});
  zerosToEnd.resize(zerosToEnd.size() + 3000, 0x00);
  EXPECT_TRUE(BuildFrameIndex(zerosToEnd).empty());

  // Erased flash at the start ends nothing: it is simply not a recording.
  std::vector<uint8_t> erasedFirst(16, 0xFF);
  AppendRecord(erasedFirst, RecordSpec{});
  EXPECT_TRUE(BuildFrameIndex(erasedFirst).empty());

  // A header in the wrong byte order or with a lower-case tag is no header.
  std::vector<uint8_t> wrongOrder;
  AppendRecord(wrongOrder, RecordSpec{});
  std::swap(wrongOrder[0], wrongOrder[1]);
  EXPECT_TRUE(BuildFrameIndex(wrongOrder).empty());

  EXPECT_TRUE(BuildFrameIndex(std::span<const uint8_t>{}).empty());
}

TEST(FrameIndex, RecordLengthBelowHeaderSizeWrapsTheStep) {
  std::vector<uint8_t> b;
  const FrameHeader h = FrameHeader::Make(5, 1, 0, 0, 0, 0);
  b.insert(b.end(), h.bytes.begin(), h.bytes.end());
  b.resize(16 + 65525, 0x11);  // payload of 65520 + 5 bytes
  AppendRecord(b, RecordSpec{.timestamp = 2});
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[1].offset, 16u + 65520u + 5u);
}

TEST(FrameIndex, LastPayloadPastTheEndIsKeptButClipped) {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordSpec{.recordLength = 1000, .timestamp = 1});
  AppendRecord(b, RecordSpec{.recordLength = 4000, .timestamp = 2});
  b.resize(1000 + 16 + 100);  // only 100 of 3984 payload bytes made it
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(PayloadLength(index[1].header), 3984u);
  const std::span<const uint8_t> present = PayloadPresent(index[1], b);
  EXPECT_EQ(present.size(), 100u);
  EXPECT_EQ(present.data(), b.data() + 1016);

  // Only part of the header itself: padded with zeros for the test, still a header.
  std::vector<uint8_t> shortTail;
  AppendRecord(shortTail, RecordSpec{.recordLength = 200});
  const FrameHeader h = FrameHeader::Make(3000, 9, 0, 0, 0, 0);
  shortTail.insert(shortTail.end(), h.bytes.begin(), h.bytes.begin() + 6);
  const FrameIndex tailIndex = BuildFrameIndex(shortTail);
  ASSERT_EQ(tailIndex.size(), 2u);
  EXPECT_EQ(PayloadLength(tailIndex[1].header), 65520u);  // length bytes read as 0
  EXPECT_TRUE(PayloadPresent(tailIndex[1], shortTail).empty());
}

TEST(Recording, OpenFailsCleanlyForFilesThatCannotBeRead) {
  test::TempDir dir;
  Recording r;
  EXPECT_EQ(r.Open(dir.File("missing.bfk")), Recording::OpenStatus::SystemError);
  EXPECT_EQ(r.SystemError(), static_cast<uint32_t>(ENOENT));
  EXPECT_EQ(r.Open(dir.Write("empty.bfk", {})), Recording::OpenStatus::SystemError);
  EXPECT_EQ(r.SystemError(), static_cast<uint32_t>(EINVAL));
  EXPECT_EQ(r.Open(dir.Path().string()), Recording::OpenStatus::SystemError);
  EXPECT_FALSE(r.IsOpen());
  // A FIFO would block an ordinary open until some writer comes along.
  ASSERT_EQ(::mkfifo(dir.File("pipe.bfk").c_str(), 0600), 0);
  EXPECT_EQ(r.Open(dir.File("pipe.bfk")), Recording::OpenStatus::SystemError);

  const std::vector<uint8_t> junk(100, 0x42);
  EXPECT_EQ(r.Open(dir.Write("junk.bfk", junk)), Recording::OpenStatus::NotRecording);
  EXPECT_FALSE(r.IsOpen());

  const std::vector<uint8_t> good = TwoFrames();
  ASSERT_EQ(r.Open(dir.Write("good.bfk", good)), Recording::OpenStatus::Opened);
  EXPECT_EQ(r.Count(), 2u);
  EXPECT_EQ(r.Size(), good.size());
  std::vector<uint8_t> payload;
  ASSERT_TRUE(r.ReadPayload(0, payload));
  EXPECT_EQ(payload, std::vector<uint8_t>(good.begin() + 16, good.begin() + 1000));
  // A failed open after a good one leaves nothing open.
  EXPECT_EQ(r.Open(dir.File("missing.bfk")), Recording::OpenStatus::SystemError);
  EXPECT_EQ(r.Count(), 0u);
}

}  // namespace
}  // namespace bf
