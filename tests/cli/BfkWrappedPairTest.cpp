// bfk over a copy that went round the end of the flash (two files, a frame cut in two at the
// seam), and the times that --from and --to of video, frames and export take.
#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/BfkRun.h"
#include "recordings/FrameIndex.h"
#include "recordings/RecordingFixture.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

using test::Bfk;
using test::Quoted;
using test::Shell;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// 30 frames in three recordings of ten, one frame a second, from 2009-06-15 12:00:00,
// 2009-06-16 13:00:00 and 2009-06-17 14:00:00 UTC.
struct Sample {
  Sample() {
    const test::ShellRun run =
        Shell(Bfk() + " sample -o " + Quoted(path) + " --frames 30 --fast 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    bytes = test::ReadAll(path);
    index = BuildFrameIndex(std::span<const uint8_t>(bytes));
  }
  // The sample as the two files of a copy split at byte `seam`.
  void Split(uint64_t seam) const {
    const std::span<const uint8_t> all(bytes);
    dir.Write("pair.bfk", all.first(static_cast<std::size_t>(seam)));
    dir.Write("pair.bfk`.bfk", all.subspan(static_cast<std::size_t>(seam)));
  }
  test::TempDir dir;
  std::string path = dir.File("sample.bfk");
  std::string first = dir.File("pair.bfk");
  std::string second = dir.File("pair.bfk`.bfk");
  std::vector<uint8_t> bytes;
  FrameIndex index;
};

TEST(BfkWrappedPair, EitherFileOpensThePairWithTheFrameAtTheSeamWhole) {
  Sample sample;
  ASSERT_EQ(sample.index.size(), 30u);
  const FrameIndexEntry& cut = sample.index[12];
  // Inside the frame's header and inside its picture.
  for (const uint64_t seam : {cut.offset + 5, cut.PayloadOffset() + 700}) {
    SCOPED_TRACE(seam);
    sample.Split(seam);
    for (const auto& [name, other] :
         {std::pair{sample.first, sample.second}, std::pair{sample.second, sample.first}}) {
      const test::ShellRun info = Shell(Bfk() + " info " + Quoted(name) + " 2>&1");
      EXPECT_EQ(info.exitCode, 0) << info.output;
      EXPECT_TRUE(Contains(info.output, "frames: 30\n")) << info.output;
      EXPECT_TRUE(Contains(info.output, "bfk info: joined with " + other +
                                            " (the copy went round the end of the flash)\n"))
          << info.output;

      // The still of the cut frame decodes (export checks) and is the original's.
      const std::string joined = sample.dir.File("joined.jpg");
      const std::string original = sample.dir.File("original.jpg");
      const test::ShellRun a =
          Shell(Bfk() + " export " + Quoted(name) + " --frame 12 -o " + Quoted(joined) + " 2>&1");
      ASSERT_EQ(a.exitCode, 0) << a.output;
      const test::ShellRun b = Shell(Bfk() + " export " + Quoted(sample.path) + " --frame 12 -o " +
                                     Quoted(original) + " 2>&1");
      ASSERT_EQ(b.exitCode, 0) << b.output;
      EXPECT_EQ(test::ReadAll(joined), test::ReadAll(original));
    }

    // A cut over the seam holds the records byte for byte.
    const std::string out = sample.dir.File("cut.bfk");
    const test::ShellRun cutRun = Shell(Bfk() + " cut " + Quoted(sample.second) + " -o " +
                                        Quoted(out) + " --from 11 --to 13 2>&1");
    ASSERT_EQ(cutRun.exitCode, 0) << cutRun.output;
    EXPECT_TRUE(Contains(cutRun.output, "3 frames (11 to 13)")) << cutRun.output;
    const uint64_t from = sample.index[11].offset;
    const uint64_t to = sample.index[14].offset;
    const std::vector<uint8_t> records(sample.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                       sample.bytes.begin() + static_cast<std::ptrdiff_t>(to));
    std::vector<uint8_t> written = test::ReadAll(out);
    ASSERT_GE(written.size(), records.size());
    written.resize(records.size());
    EXPECT_EQ(written, records);

    const std::string folder = sample.dir.File("stills");
    const test::ShellRun frames = Shell(Bfk() + " frames " + Quoted(sample.first) + " -d " +
                                        Quoted(folder) + " --from 12 --to 12 2>&1");
    EXPECT_EQ(frames.exitCode, 0) << frames.output;
    EXPECT_TRUE(Contains(frames.output, "1 frames written")) << frames.output;
    std::filesystem::remove_all(folder);
  }
}

TEST(BfkWrappedPair, TheSecondFileAloneIsNoRecording) {
  Sample sample;
  sample.Split(sample.index[12].PayloadOffset() + 700);
  std::filesystem::remove(sample.first);
  const test::ShellRun info = Shell(Bfk() + " info " + Quoted(sample.second) + " 2>&1");
  EXPECT_EQ(info.exitCode, 1) << info.output;
  EXPECT_TRUE(Contains(info.output, "is not a recording")) << info.output;
  EXPECT_FALSE(Contains(info.output, "joined")) << info.output;
  // A first file alone is its own recording, without the frame cut by its end.
  sample.Split(sample.index[12].PayloadOffset() + 700);
  std::filesystem::remove(sample.second);
  const test::ShellRun first = Shell(Bfk() + " info " + Quoted(sample.first) + " 2>&1");
  EXPECT_EQ(first.exitCode, 0) << first.output;
  EXPECT_TRUE(Contains(first.output, "frames: 13\n")) << first.output;
  EXPECT_FALSE(Contains(first.output, "joined")) << first.output;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(BfkTimeRange, FramesTakesTheStretchAsCutDoes) {
  Sample sample;
  const std::string folder = sample.dir.File("stills");
  test::ShellRun run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
                             " --from 2009-06-16T13:00:02Z --to 2009-06-16T13:00:04Z 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "3 frames written")) << run.output;
  std::vector<std::string> names = Names(folder);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_TRUE(Contains(names[0], "_000012.jpg")) << names[0];
  EXPECT_TRUE(Contains(names[2], "_000014.jpg")) << names[2];
  std::filesystem::remove_all(folder);

  // Local time (Moscow kept summer time in 2009: UTC+4), mixed with a frame number, and a
  // time alone up to the end.
  {
    test::TimeZoneGuard zone("Europe/Moscow");
    run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
                " --from '2009-06-17 18:00:07' 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "3 frames written")) << run.output;
    std::filesystem::remove_all(folder);
    run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
                " --from 8 --to '2009-06-16 17:00:00' 2>&1");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "3 frames written")) << run.output;
    std::filesystem::remove_all(folder);
  }

  // A stretch with no frame, a malformed time, and ends the wrong way round.
  run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
              " --from 2009-06-16T00:00:00Z --to 2009-06-16T01:00:00Z 2>&1");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "no frame lies from 2009-06-16T00:00:00Z")) << run.output;
  EXPECT_FALSE(std::filesystem::exists(folder));
  run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
              " --from 2009-06-31T00:00:00Z 2>&1");
  EXPECT_EQ(run.exitCode, 2) << run.output;
  EXPECT_TRUE(Contains(run.output, "--from: '2009-06-31T00:00:00Z' is not a time that exists"))
      << run.output;
  run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
              " --from 2009-06-16T13:00:04Z --to 2009-06-16T13:00:02Z 2>&1");
  EXPECT_EQ(run.exitCode, 2) << run.output;
  // Frame numbers alone keep their meaning: a --to past the end is the end.
  run = Shell(Bfk() + " frames " + Quoted(sample.path) + " -d " + Quoted(folder) +
              " --from 28 --to 1000 2>&1");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "2 frames written")) << run.output;
}

TEST(BfkTimeRange, FramesOfOneStretchMustStandTogether) {
  test::TempDir dir;
  // The clock set back: 990 lies between 1002 and 1003 in time but after them in the file.
  const std::string path =
      dir.Write("back.bfk", test::RecordingWithTimestamps({1000, 1001, 1002, 990, 1003}));
  const test::ShellRun run =
      Shell(Bfk() + " frames " + Quoted(path) + " -d " + Quoted(dir.File("stills")) +
            " --from 1970-01-01T00:16:40Z --to 1970-01-01T00:16:43Z 2>&1");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "are not one run in the file (frames 0 to 4")) << run.output;
}

TEST(BfkTimeRange, ExportTakesTheFirstFrameFromAOrTheLastUpToB) {
  Sample sample;
  const auto exportWith = [&](const std::string& options, const std::string& out) {
    return Shell(Bfk() + " export " + Quoted(sample.path) + " " + options + " -o " +
                 Quoted(sample.dir.File(out)) + " 2>&1");
  };
  ASSERT_EQ(exportWith("--frame 12", "12.jpg").exitCode, 0);
  ASSERT_EQ(exportWith("--frame 19", "19.jpg").exitCode, 0);
  test::ShellRun run = exportWith("--from 2009-06-16T13:00:02Z", "from.jpg");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "bfk export: frame 12\n")) << run.output;
  EXPECT_EQ(test::ReadAll(sample.dir.File("from.jpg")), test::ReadAll(sample.dir.File("12.jpg")));
  run = exportWith("--to 2009-06-17T13:59:59Z", "to.jpg");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::ReadAll(sample.dir.File("to.jpg")), test::ReadAll(sample.dir.File("19.jpg")));
  run = exportWith("--from 2009-06-16T13:00:02Z --to 2009-06-16T13:00:05Z", "both.jpg");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::ReadAll(sample.dir.File("both.jpg")), test::ReadAll(sample.dir.File("12.jpg")));

  EXPECT_EQ(exportWith("--from 2009-06-18T00:00:00Z", "none.jpg").exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(sample.dir.File("none.jpg")));
  EXPECT_EQ(exportWith("--from 40", "none.jpg").exitCode, 1);
  EXPECT_EQ(exportWith("--frame 3 --from 2009-06-16T13:00:02Z", "none.jpg").exitCode, 2);
  EXPECT_EQ(exportWith("--to yesterday", "none.jpg").exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(sample.dir.File("none.jpg")));
}

#ifdef BF_BFK_VIDEO
TEST(BfkTimeRange, VideoTakesTheStretchAsCutDoes) {
  Sample sample;
  const std::string out = sample.dir.File("v.mkv");
  test::ShellRun run = Shell(Bfk() + " video " + Quoted(sample.path) + " -o " + Quoted(out) +
                             " --pace 5 --from 2009-06-17T14:00:03Z --to 29 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "7 frames written")) << run.output;
  run = Shell(Bfk() + " video " + Quoted(sample.path) + " -o " + Quoted(out) +
              " --pace 5 --to 2009-06-15T11:00:00Z 2>&1");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "no frame lies from the first frame to 2009-06-15T11:00:00Z"))
      << run.output;
}
#endif

}  // namespace
}  // namespace bf
