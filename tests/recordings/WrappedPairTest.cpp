// The two files of a copy past the end of the flash, read as one recording: the pair's names,
// reads across the seam, and what opens alone.
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "recordings/JoinedFile.h"
#include "recordings/Recording.h"
#include "recordings/RecordingFixture.h"
#include "recordings/WrappedPair.h"

namespace bf {
namespace {

using test::TempDir;

// Six 1016-byte records then erased flash, split 300 bytes into the fourth record's payload.
struct SplitCopy {
  SplitCopy() {
    bytes = test::RecordingWithTimestamps({10, 11, 12, 13, 14, 15});
    bytes.insert(bytes.end(), 64, 0xFF);
    const std::span<const uint8_t> all(bytes);
    first = dir.Write("day1.bfk", all.first(kSeam));
    second = dir.Write("day1.bfk`.bfk", all.subspan(kSeam));
  }
  static constexpr std::size_t kSeam = 3 * 1016 + 16 + 300;
  TempDir dir;
  std::vector<uint8_t> bytes;
  std::string first;
  std::string second;
};

TEST(WrappedPair, NamesEitherFileOfAPairThatExists) {
  SplitCopy copy;
  for (const std::string& name : {copy.first, copy.second}) {
    const std::optional<WrappedPair> pair = FindWrappedPair(name);
    ASSERT_TRUE(pair) << name;
    EXPECT_EQ(pair->first, copy.first);
    EXPECT_EQ(pair->second, copy.second);
  }
  // An accent name whose extension is not the first file's is no second file of it.
  const std::string other = copy.dir.Write("day1.bfk`.raw", std::vector<uint8_t>(10, 1));
  EXPECT_FALSE(FindWrappedPair(other));
  std::filesystem::remove(copy.second);
  EXPECT_FALSE(FindWrappedPair(copy.first));
  // A second file that holds nothing (the copy was cancelled before it) joins nothing.
  copy.dir.Write("day1.bfk`.bfk", std::vector<uint8_t>{});
  EXPECT_FALSE(FindWrappedPair(copy.first));
  std::filesystem::remove(copy.first);
  copy.dir.Write("day1.bfk`.bfk", std::vector<uint8_t>(10, 1));
  EXPECT_FALSE(FindWrappedPair(copy.second));
}

TEST(WrappedPair, ReadsRunOnAcrossTheSeam) {
  SplitCopy copy;
  JoinedFile file;
  ASSERT_TRUE(file.Open(copy.first, copy.second));
  EXPECT_TRUE(file.IsJoined());
  EXPECT_EQ(file.Size(), copy.bytes.size());
  std::vector<uint8_t> out(100);
  ASSERT_EQ(file.ReadAt(SplitCopy::kSeam - 40, out), 100u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), copy.bytes.begin() + SplitCopy::kSeam - 40));
  // Past the end: what is there.
  EXPECT_EQ(file.ReadAt(copy.bytes.size() - 30, out), 30u);
#ifndef _WIN32  // Windows cuts no file that is open
  // A first file cut short since it was opened: its bytes end there, and the second file's
  // bytes do not slide into the gap.
  std::filesystem::resize_file(copy.first, SplitCopy::kSeam - 20);
  EXPECT_EQ(file.ReadAt(SplitCopy::kSeam - 40, out), 20u);
#endif

  JoinedFile missing;
  EXPECT_FALSE(missing.Open(copy.first, copy.dir.File("gone")));
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_EQ(missing.FailedPath(), copy.dir.File("gone"));
  EXPECT_NE(missing.SystemError(), 0u);
}

TEST(WrappedPair, OpensAsOneRecordingFromEitherName) {
  SplitCopy copy;
  const FrameIndex whole = BuildFrameIndex(std::span<const uint8_t>(copy.bytes));
  ASSERT_EQ(whole.size(), 6u);
  for (const std::string& name : {copy.first, copy.second}) {
    SCOPED_TRACE(name);
    Recording recording;
    ASSERT_EQ(recording.Open(name, kAllFrames, Recording::Pairing::JoinSecond),
              Recording::OpenStatus::Opened);
    EXPECT_TRUE(recording.IsJoined());
    EXPECT_EQ(recording.Path(), name);
    EXPECT_EQ(recording.FirstPath(), copy.first);
    EXPECT_EQ(recording.SecondPath(), copy.second);
    ASSERT_EQ(recording.Count(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(recording.Index()[i].offset, whole[i].offset);
      std::vector<uint8_t> payload;
      ASSERT_TRUE(recording.ReadPayload(i, payload)) << i;
      const auto from = copy.bytes.begin() + static_cast<std::ptrdiff_t>(whole[i].PayloadOffset());
      EXPECT_TRUE(std::equal(payload.begin(), payload.end(), from)) << i;
      EXPECT_EQ(payload.size(), 1000u);
    }
  }
}

TEST(WrappedPair, AloneTheFirstEndsBeforeTheSeamAndTheSecondIsNoRecording) {
  SplitCopy copy;
  Recording recording;
  // The main window's player opens a file on its own: the frame cut by its end is short.
  ASSERT_EQ(recording.Open(copy.first), Recording::OpenStatus::Opened);
  EXPECT_FALSE(recording.IsJoined());
  EXPECT_TRUE(recording.FirstPath().empty());
  EXPECT_EQ(recording.Count(), 4u);
  EXPECT_EQ(recording.PayloadSize(3), 300u);
  EXPECT_EQ(recording.Open(copy.second), Recording::OpenStatus::NotRecording);
  std::filesystem::remove(copy.first);
  EXPECT_EQ(recording.Open(copy.second, kAllFrames, Recording::Pairing::JoinSecond),
            Recording::OpenStatus::NotRecording);
}

}  // namespace
}  // namespace bf
