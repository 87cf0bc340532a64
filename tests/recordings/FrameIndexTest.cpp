#include "recordings/FrameIndex.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "RecordingFixture.h"
#include "recordings/ReadOnlyFile.h"
#include "recordings/Recording.h"
#include "support/WindowsFiles.h"

namespace bf {
namespace {

using test::AppendRecord;
using test::RecordShape;

std::vector<uint8_t> TwoFrames() {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordShape{.recordLength = 1000, .timestamp = 1});
  AppendRecord(b, RecordShape{.recordLength = 2000, .timestamp = 2});
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
  AppendRecord(b, RecordShape{.timestamp = 3});
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
  AppendRecord(b, RecordShape{.recordLength = 1000, .timestamp = 1});
  b.resize(b.size() + 512, 0x00);  // 40 zeros and more junk, 512 bytes from the frame's end
  AppendRecord(b, RecordShape{.recordLength = 700, .timestamp = 2});
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index[0].offset, 1512u);
  EXPECT_EQ(index[0].header.Timestamp(), 2u);
}

TEST(FrameIndex, OneDropPerStretchHoweverManyProbes) {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordShape{.recordLength = 600, .timestamp = 1});
  AppendRecord(b, RecordShape{.recordLength = 600, .timestamp = 2});
  b.resize(b.size() + 5 * 512, 0x55);
  AppendRecord(b, RecordShape{.recordLength = 600, .timestamp = 3});
  b.resize(b.size() + 512, 0x00);
  AppendRecord(b, RecordShape{.recordLength = 600, .timestamp = 4});
  const FrameIndex index = BuildFrameIndex(b);
  std::vector<uint32_t> stamps;
  for (const FrameIndexEntry& e : index) stamps.push_back(e.header.Timestamp());
  EXPECT_EQ(stamps, (std::vector<uint32_t>{1, 4}));
}

TEST(FrameIndex, FilesThatHoldNoUsableFrame) {
  // A frame then zeros to the end of the file: the frame is dropped.
  std::vector<uint8_t> zerosToEnd;
  AppendRecord(zerosToEnd, RecordShape{});
  zerosToEnd.resize(zerosToEnd.size() + 3000, 0x00);
  EXPECT_TRUE(BuildFrameIndex(zerosToEnd).empty());

  // Erased flash at the start ends nothing: it is simply not a recording.
  std::vector<uint8_t> erasedFirst(16, 0xFF);
  AppendRecord(erasedFirst, RecordShape{});
  EXPECT_TRUE(BuildFrameIndex(erasedFirst).empty());

  // A header in the wrong byte order or with a lower-case tag is no header.
  std::vector<uint8_t> wrongOrder;
  AppendRecord(wrongOrder, RecordShape{});
  std::swap(wrongOrder[0], wrongOrder[1]);
  EXPECT_TRUE(BuildFrameIndex(wrongOrder).empty());

  EXPECT_TRUE(BuildFrameIndex(std::span<const uint8_t>{}).empty());
}

TEST(FrameIndex, RecordLengthBelowHeaderSizeWrapsTheStep) {
  std::vector<uint8_t> b;
  const FrameHeader h = FrameHeader::Make(5, 1, 0, 0, 0, 0);
  b.insert(b.end(), h.bytes.begin(), h.bytes.end());
  b.resize(16 + 65525, 0x11);  // payload of 65520 + 5 bytes
  AppendRecord(b, RecordShape{.timestamp = 2});
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[1].offset, 16u + 65520u + 5u);
}

TEST(FrameIndex, LastPayloadPastTheEndIsKeptButClipped) {
  std::vector<uint8_t> b;
  AppendRecord(b, RecordShape{.recordLength = 1000, .timestamp = 1});
  AppendRecord(b, RecordShape{.recordLength = 4000, .timestamp = 2});
  b.resize(1000 + 16 + 100);  // only 100 of 3984 payload bytes made it
  const FrameIndex index = BuildFrameIndex(b);
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(PayloadLength(index[1].header), 3984u);
  const std::span<const uint8_t> present = PayloadPresent(index[1], b);
  EXPECT_EQ(present.size(), 100u);
  EXPECT_EQ(present.data(), b.data() + 1016);

  // Only part of the header itself: padded with zeros for the test, still a header.
  std::vector<uint8_t> shortTail;
  AppendRecord(shortTail, RecordShape{.recordLength = 200});
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
  // The system's own codes: GetLastError's on Windows, errno's elsewhere.
#ifdef _WIN32
  const uint32_t notFound = ERROR_FILE_NOT_FOUND;
  const uint32_t nothingToRead = ERROR_FILE_INVALID;
#else
  const uint32_t notFound = ENOENT;
  const uint32_t nothingToRead = EINVAL;
#endif
  EXPECT_EQ(r.Open(dir.File("missing.bfk")), Recording::OpenStatus::SystemError);
  EXPECT_EQ(r.SystemError(), notFound);
  EXPECT_EQ(r.Open(dir.Write("empty.bfk", {})), Recording::OpenStatus::SystemError);
  EXPECT_EQ(r.SystemError(), nothingToRead);
  EXPECT_EQ(r.Open(dir.Path().string()), Recording::OpenStatus::SystemError);
  EXPECT_NE(r.SystemError(), 0u);
  EXPECT_FALSE(r.IsOpen());
#ifdef _WIN32
  {
    // A file another program is writing (a copy still running) is not shared for reading by
    // a writer that refuses readers; it is refused with the system's reason, not read half.
    const std::string busy = dir.Write("busy.bfk", TwoFrames());
    test::HeldOpenFile writer(busy, GENERIC_WRITE, 0);
    ASSERT_TRUE(writer.IsOpen()) << writer.Error();
    EXPECT_EQ(r.Open(busy), Recording::OpenStatus::SystemError);
    EXPECT_EQ(r.SystemError(), static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(r.IsOpen());
  }
#else
  // A FIFO would block an ordinary open until some writer comes along.
  ASSERT_EQ(::mkfifo(dir.File("pipe.bfk").c_str(), 0600), 0);
  EXPECT_EQ(r.Open(dir.File("pipe.bfk")), Recording::OpenStatus::SystemError);
#endif

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

TEST(Recording, ReadsFramesFromTheFileAsIndexedOrNotAtAll) {
  test::TempDir dir;
  std::vector<uint8_t> b = TwoFrames();
  test::AppendRecord(b, RecordShape{.recordLength = 1500, .timestamp = 3});
  b.resize(b.size() - 700);  // the last record is cut by the end of the file
  const std::string path = dir.Write("r.bfk", b);
  Recording r;
  ASSERT_EQ(r.Open(path), Recording::OpenStatus::Opened);
  ASSERT_EQ(r.Count(), 3u);
  std::vector<uint8_t> payload;
  ASSERT_TRUE(r.ReadPayload(2, payload));
  EXPECT_EQ(payload, std::vector<uint8_t>(b.begin() + 3016, b.end()));
  EXPECT_EQ(r.PayloadSize(2), 1484u - 700u);

#ifdef _WIN32
  // Windows keeps the open recording from being written, cut or replaced by anyone: the
  // file is shared for reading only, so every frame reads as indexed for as long as it is
  // open. (Elsewhere a file cannot be locked against other programs; see below.)
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    EXPECT_FALSE(out.is_open());
  }
  std::error_code ec;
  std::filesystem::resize_file(path, 1500, ec);
  EXPECT_TRUE(ec);
  EXPECT_FALSE(std::filesystem::remove(path, ec));
  const std::string other = dir.Write("other.bfk", TwoFrames());
  EXPECT_EQ(MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING), 0);
  EXPECT_EQ(std::filesystem::file_size(path), b.size());
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(r.ReadPayload(i, payload)) << i;
  EXPECT_EQ(payload, std::vector<uint8_t>(b.begin() + 3016, b.end()));
  // Closed, it is the user's file again.
  r.Close();
  std::filesystem::resize_file(path, 1500);
  ASSERT_EQ(r.Open(path), Recording::OpenStatus::Opened);
  EXPECT_EQ(r.Count(), 2u);
#else
  // Growing is harmless: the frames are where they were.
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << "appended";
  }
  ASSERT_TRUE(r.ReadPayload(2, payload));
  EXPECT_EQ(payload.size(), 784u);

  // Cut inside the second frame: the first still reads, the others do not, and nothing of
  // them is handed out.
  std::filesystem::resize_file(path, 1500);
  ASSERT_TRUE(r.ReadPayload(0, payload));
  EXPECT_EQ(payload, std::vector<uint8_t>(b.begin() + 16, b.begin() + 1000));
  EXPECT_FALSE(r.ReadPayload(1, payload));
  EXPECT_TRUE(payload.empty());
  EXPECT_FALSE(r.ReadPayload(2, payload));

  // Written over at full length: a header that is not the indexed one is not that frame.
  std::filesystem::resize_file(path, 900);
  std::filesystem::resize_file(path, b.size());
  EXPECT_FALSE(r.ReadPayload(1, payload));
  EXPECT_TRUE(r.ReadPayload(0, payload));
#endif
}

TEST(Recording, LimitedOpenIndexesOnlyTheFirstFrames) {
  test::TempDir dir;
  std::vector<uint8_t> b;
  for (uint32_t t = 0; t < 10; ++t)
    AppendRecord(b, RecordShape{.recordLength = 300, .timestamp = t});
  const std::string path = dir.Write("r.bfk", b);
  Recording r;
  ASSERT_EQ(r.Open(path, 4), Recording::OpenStatus::Opened);
  ASSERT_EQ(r.Count(), 4u);
  EXPECT_EQ(r.Index()[3].offset, 900u);
  std::vector<uint8_t> payload;
  EXPECT_TRUE(r.ReadPayload(3, payload));
  ASSERT_EQ(r.Open(path, 50), Recording::OpenStatus::Opened);
  EXPECT_EQ(r.Count(), 10u);
}

}  // namespace
}  // namespace bf

namespace bf {
namespace {

// Recordings shaped to drive the file scan through every read path: records far apart (header
// reads), damaged stretches short and long (growing blocks, well past one block), small
// records packed close, a last header cut by the end of the file.
std::vector<uint8_t> MixedRecording(uint32_t seed, bool erasedEnd) {
  std::mt19937 random(seed);
  std::vector<uint8_t> b;
  uint32_t stamp = 0;
  test::AppendRecord(b, {.recordLength = 20000, .timestamp = stamp});
  while (b.size() < (6u << 20)) {
    switch (random() % 8) {
      case 0:  // damaged for a few probes
        b.resize(b.size() + 1 + random() % 2000, static_cast<uint8_t>(0x20 + random() % 64));
        break;
      case 1:  // damaged far longer than one block
        if (random() % 4 == 0) b.resize(b.size() + (2u << 20) + random() % 5000, 0x5A);
        break;
      case 2:  // many small records close together
        for (int k = 0, n = static_cast<int>(random() % 3000); k < n; ++k) {
          test::AppendRecord(b, {.recordLength = static_cast<uint16_t>(16 + random() % 200),
                                 .timestamp = ++stamp});
        }
        break;
      default:  // camera-sized records
        test::AppendRecord(b, {.recordLength = static_cast<uint16_t>(9000 + random() % 40000),
                               .timestamp = ++stamp});
        break;
    }
  }
  if (erasedEnd) {
    b.insert(b.end(), 16, 0xFF);
    b.resize(b.size() + 3000, 0x33);
  } else {
    const FrameHeader h = FrameHeader::Make(3000, ++stamp, 2, 0, 0, 0);
    b.insert(b.end(), h.bytes.begin(), h.bytes.begin() + 1 + random() % 15);
  }
  return b;
}

bool SameEntries(const FrameIndex& a, const FrameIndex& b, std::size_t n) {
  if (a.size() < n || b.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i].offset != b[i].offset || a[i].header.bytes != b[i].header.bytes) return false;
  }
  return true;
}

TEST(FrameIndexOfAFile, ReadsTheSameIndexAsTheScanOfTheBytes) {
  test::TempDir dir;
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    const std::vector<uint8_t> bytes = MixedRecording(seed, seed % 2 == 0);
    const FrameIndex expected = BuildFrameIndex(bytes);
    ASSERT_GT(expected.size(), 100u);
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(dir.Write("mixed.bfk", bytes)));
    const FrameIndex read = BuildFrameIndex(file);
    ASSERT_EQ(read.size(), expected.size()) << "seed " << seed;
    EXPECT_TRUE(SameEntries(read, expected, expected.size())) << "seed " << seed;
  }
}

TEST(FrameIndexOfAFile, StopsOnceTheFirstFramesAreCertain) {
  test::TempDir dir;
  const std::vector<uint8_t> bytes = MixedRecording(9, false);
  const FrameIndex whole = BuildFrameIndex(bytes);
  ASSERT_GT(whole.size(), 100u);
  ReadOnlyFile file;
  ASSERT_TRUE(file.Open(dir.Write("mixed.bfk", bytes)));
  // Every limit up to the frames around the first drops, then a spread of larger ones: the
  // first entries are exactly those of the whole index, however the stretch after them ends.
  std::vector<std::size_t> limits;
  for (std::size_t n = 1; n < 40; ++n) limits.push_back(n);
  for (std::size_t n = 40; n < whole.size(); n += 1 + n / 3) limits.push_back(n);
  limits.push_back(whole.size());
  limits.push_back(whole.size() + 5);
  for (std::size_t limit : limits) {
    const std::size_t expected = std::min(limit, whole.size());
    const FrameIndex fromBytes = BuildFrameIndex(bytes, limit);
    const FrameIndex fromFile = BuildFrameIndex(file, limit);
    ASSERT_EQ(fromBytes.size(), expected) << "limit " << limit;
    ASSERT_EQ(fromFile.size(), expected) << "limit " << limit;
    EXPECT_TRUE(SameEntries(fromBytes, whole, expected)) << "limit " << limit;
    EXPECT_TRUE(SameEntries(fromFile, whole, expected)) << "limit " << limit;
  }

  // A frame followed by a damaged stretch is not certain until the stretch ends: with a limit
  // of one, the frame after the stretch is the answer, as in the whole index.
  std::vector<uint8_t> b;
  test::AppendRecord(b, {.recordLength = 1000, .timestamp = 1});
  b.resize(b.size() + 3 * 512, 0x00);
  test::AppendRecord(b, {.recordLength = 1000, .timestamp = 2});
  test::AppendRecord(b, {.recordLength = 1000, .timestamp = 3});
  const FrameIndex one = BuildFrameIndex(b, 1);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].header.Timestamp(), 2u);
}

}  // namespace
}  // namespace bf
