// bfk info --timeline and bfk cut, run as the operator would, over `bfk sample` recordings.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/BfkRun.h"
#include "cli/MiniJson.h"
#include "recordings/FrameIndex.h"
#include "recordings/RecordingFixture.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

using test::Bfk;
using test::Json;
using test::Quoted;
using test::Shell;

// 60 frames in three recordings a day and an hour apart, from 2009-06-15 12:00:00 UTC, one
// frame per second, damaged bytes before the second recording (whose last frame in front of
// them the index drops: 59 frames).
struct SampleFile {
  SampleFile() {
    const test::ShellRun run =
        Shell(Bfk() + " sample -o " + Quoted(path) + " --frames 60 --damaged --fast 2>&1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    bytes = test::ReadAll(path);
    index = BuildFrameIndex(std::span<const uint8_t>(bytes));
  }
  test::TempDir dir;
  std::string path = dir.File("sample.bfk");
  std::vector<uint8_t> bytes;
  FrameIndex index;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(BfkTimeline, TextListsRecordingsGapsAndDamageInLocalTime) {
  SampleFile sample;
  ASSERT_EQ(sample.index.size(), 59u);
  // Moscow kept summer time in 2009: UTC+4.
  test::TimeZoneGuard zone("Europe/Moscow");
  const test::ShellRun run = Shell(Bfk() + " info --timeline " + Quoted(sample.path));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string& out = run.output;
  EXPECT_TRUE(Contains(out, "frames: 59\n")) << out;
  EXPECT_TRUE(Contains(out, "recordings: 3\n")) << out;
  EXPECT_TRUE(
      Contains(out, "         0       19  2009-06-15 16:00:00  2009-06-15 16:00:18    2  COL\n"))
      << out;
  EXPECT_TRUE(
      Contains(out, "        19       20  2009-06-16 17:00:00  2009-06-16 17:00:19    3   BW\n"))
      << out;
  EXPECT_TRUE(
      Contains(out, "        39       20  2009-06-17 18:00:00  2009-06-17 18:00:19    4  COL\n"))
      << out;
  EXPECT_TRUE(Contains(out,
                       "gaps: 2\n  from 2009-06-15 16:00:18, 89982 s\n"
                       "  from 2009-06-16 17:00:19, 89981 s\n"))
      << out;
  const uint64_t end18 = sample.index[18].offset + sample.index[18].header.RecordLength();
  EXPECT_TRUE(Contains(out, "damaged stretches: 1 (" +
                                std::to_string(sample.index[19].offset - end18) + " bytes)\n"))
      << out;
  EXPECT_TRUE(Contains(out, "  at offset " + std::to_string(end18) + ", ")) << out;
}

TEST(BfkTimeline, JsonCarriesTheSameAsOneObject) {
  SampleFile sample;
  test::TimeZoneGuard zone("UTC");
  const test::ShellRun run = Shell(Bfk() + " info --timeline --json " + Quoted(sample.path));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::optional<Json> parsed = Json::Parse(run.output);
  ASSERT_TRUE(parsed) << run.output;
  const Json& j = *parsed;
  EXPECT_EQ(j["frames"].number, 59);
  EXPECT_EQ(j["start"].number, 1245067200);
  EXPECT_EQ(j["end"].number, 1245067200 + 2 * 90000 + 19);
  ASSERT_EQ(j["recordings"].items.size(), 3u);
  const Json& second = j["recordings"][1];
  EXPECT_EQ(second["firstFrame"].number, 19);
  EXPECT_EQ(second["frames"].number, 20);
  EXPECT_EQ(second["start"].number, 1245067200 + 90000);
  EXPECT_EQ(second["startLocal"].text, "2009-06-16 13:00:00");
  EXPECT_EQ(second["endLocal"].text, "2009-06-16 13:00:19");
  EXPECT_EQ(second["compression"].number, 3);
  EXPECT_EQ(second["mode"].text, "BW");
  ASSERT_EQ(j["gaps"].items.size(), 2u);
  EXPECT_EQ(j["gaps"][0]["start"].number, 1245067218);
  EXPECT_EQ(j["gaps"][0]["end"].number, 1245067200 + 90000);
  EXPECT_EQ(j["gaps"][0]["length"].number, 89982);
  ASSERT_EQ(j["damaged"].items.size(), 1u);
  const uint64_t end18 = sample.index[18].offset + sample.index[18].header.RecordLength();
  EXPECT_EQ(j["damaged"][0]["offset"].number, static_cast<double>(end18));
  EXPECT_EQ(j["damaged"][0]["length"].number, static_cast<double>(sample.index[19].offset - end18));

  // Without --timeline, --json is the frame list as before.
  const test::ShellRun frames = Shell(Bfk() + " info --json " + Quoted(sample.path));
  const std::optional<Json> list = Json::Parse(frames.output);
  ASSERT_TRUE(list) << frames.output;
  EXPECT_EQ((*list)["count"].number, 59);
  EXPECT_EQ((*list)["frames"].items.size(), 59u);
  EXPECT_EQ((*list)["recordings"].kind, Json::Kind::Null);
}

// The records of `out`, indexed, must be exactly the input's records `frames`, byte for byte,
// followed by erased flash to a sector boundary.
void ExpectCutOf(const SampleFile& sample, const std::string& out, std::size_t first,
                 std::size_t last) {
  const std::vector<uint8_t> bytes = test::ReadAll(out);
  const FrameIndex index = BuildFrameIndex(std::span<const uint8_t>(bytes));
  ASSERT_EQ(index.size(), last - first + 1);
  uint64_t at = 0;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const FrameIndexEntry& in = sample.index[first + i];
    const uint64_t length = in.header.RecordLength();
    EXPECT_EQ(index[i].offset, at);
    ASSERT_LE(at + length, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + length),
                           sample.bytes.begin() + static_cast<std::ptrdiff_t>(in.offset)))
        << "frame " << first + i;
    at += length;
  }
  ASSERT_GE(bytes.size(), at + 16);
  EXPECT_EQ(bytes.size() % 512, 0u);
  for (uint64_t i = at; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0xFF) << i;
}

TEST(BfkCut, FrameNumbersAcrossADamagedStretch) {
  SampleFile sample;
  const std::string out = sample.dir.File("part.bfk");
  const test::ShellRun run = Shell(Bfk() + " cut -o " + Quoted(out) + " --from 10 --to 29 " +
                                   Quoted(sample.path) + " 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  ExpectCutOf(sample, out, 10, 29);
  // The player's reader takes it: bfk info finds the 20 frames.
  const test::ShellRun info = Shell(Bfk() + " info " + Quoted(out));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_TRUE(Contains(info.output, "frames: 20\n")) << info.output;

  // One frame, the last of the file.
  const test::ShellRun last = Shell(Bfk() + " cut -o " + Quoted(out) + " --from 58 --to 58 " +
                                    Quoted(sample.path) + " 2>&1");
  ASSERT_EQ(last.exitCode, 0) << last.output;
  ExpectCutOf(sample, out, 58, 58);
}

TEST(BfkCut, ToStandardOutputTheRecordAloneGoesThere) {
  SampleFile sample;
  const std::string out = sample.dir.File("piped.bfk");
  const test::ShellRun run = Shell(Bfk() + " cut -o - --from 40 --to 45 " + Quoted(sample.path) +
                                   " > " + Quoted(out) + " 2>/dev/null");
  ASSERT_EQ(run.exitCode, 0);
  ExpectCutOf(sample, out, 40, 45);
}

TEST(BfkCut, ALastRecordCutByTheEndOfTheFileIsCopiedAsItIsAndSaidSo) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  test::AppendRecord(bytes, {.recordLength = 600, .timestamp = 10});
  test::AppendRecord(bytes, {.recordLength = 600, .timestamp = 11});
  bytes.resize(bytes.size() - 100);
  const std::string in = dir.Write("in.bfk", bytes);
  const std::string out = dir.File("out.bfk");
  const test::ShellRun run =
      Shell(Bfk() + " cut -o " + Quoted(out) + " --from 0 --to 1 " + Quoted(in) + " 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "warning: frame 1 is incomplete")) << run.output;
  const std::vector<uint8_t> written = test::ReadAll(out);
  ASSERT_GE(written.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), written.begin()));
  for (std::size_t i = bytes.size(); i < written.size(); ++i) ASSERT_EQ(written[i], 0xFF) << i;
}

TEST(BfkCut, LocalAndUniversalTimesInAZoneWithSummerTime) {
  SampleFile sample;
  test::TimeZoneGuard zone("Europe/Moscow");
  const std::string out = sample.dir.File("part.bfk");
  // Frames 24..28 were taken 13:00:05..13:00:09 UTC, 17:00:05..17:00:09 in Moscow.
  const test::ShellRun local = Shell(Bfk() + " cut -o " + Quoted(out) +
                                     " --from '2009-06-16 17:00:05' --to '2009-06-16 17:00:09' " +
                                     Quoted(sample.path) + " 2>&1");
  ASSERT_EQ(local.exitCode, 0) << local.output;
  ExpectCutOf(sample, out, 24, 28);

  const test::ShellRun mixed =
      Shell(Bfk() + " cut -o " + Quoted(out) + " --from 2009-06-16T13:00:05Z --to 30 " +
            Quoted(sample.path) + " 2>&1");
  ASSERT_EQ(mixed.exitCode, 0) << mixed.output;
  ExpectCutOf(sample, out, 24, 30);
}

TEST(BfkCut, ByTimeAfterTheClockWasSetBackTakesTheFramesOfThatTime) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  for (uint32_t t : {100u, 101u, 102u, 50u, 51u, 103u}) {
    test::AppendRecord(bytes, {.recordLength = 600, .timestamp = t});
  }
  const std::string in = dir.Write("in.bfk", bytes);
  const std::string out = dir.File("out.bfk");
  const test::ShellRun run =
      Shell(Bfk() + " cut -o " + Quoted(out) +
            " --from 1970-01-01T00:00:50Z --to 1970-01-01T00:01:41Z " + Quoted(in) + " 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> written = test::ReadAll(out);
  const FrameIndex index = BuildFrameIndex(std::span<const uint8_t>(written));
  std::vector<uint32_t> times;
  for (const FrameIndexEntry& e : index) times.push_back(e.header.Timestamp());
  EXPECT_EQ(times, (std::vector<uint32_t>{100, 101, 50, 51}));
}

TEST(BfkCut, RefusesBackwardsEmptyAndUnknownStretchesAndLeavesTheOutputAlone) {
  SampleFile sample;
  test::TimeZoneGuard zone("UTC");
  const std::string out = sample.dir.Write("keep.bfk", std::vector<uint8_t>{'k', 'e', 'e', 'p'});
  struct Case {
    std::string args;
    int exitCode;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"--from 30 --to 29", 2, "--from 30 is after --to 29"},
      {"--from 2009-06-16T13:00:09Z --to 2009-06-16T13:00:05Z", 2, "is after --to"},
      // Inside the gap between the first two recordings.
      {"--from '2009-06-15 18:00:00' --to '2009-06-15 19:00:00'", 1, "nothing written"},
      {"--from 10 --to 59", 1, "no frame 59 (the recording has 59 frames"},
      {"--from '2009-06-16 25:00:00' --to 3", 2, "is not a time that exists"},
      {"--from 2009-02-30T10:00:00Z --to 3", 2, "is not a time that exists"},
      {"--from 2009-06-16T13:00 --to 3", 2, "is neither a frame number nor a time"},
      {"--from -1 --to 3", 2, "is neither a frame number nor a time"},
      {"--from 3", 2, "missing --to"},
  };
  for (const Case& c : cases) {
    const test::ShellRun run = Shell(Bfk() + " cut -o " + Quoted(out) + " " + c.args + " " +
                                     Quoted(sample.path) + " 2>&1");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, c.message)) << c.args << "\n" << run.output;
    EXPECT_EQ(test::ReadAll(out), (std::vector<uint8_t>{'k', 'e', 'e', 'p'})) << c.args;
  }
  // The input itself is never the output.
  const std::vector<uint8_t> before = test::ReadAll(sample.path);
  const test::ShellRun self = Shell(Bfk() + " cut -o " + Quoted(sample.path) + " --from 0 --to 3 " +
                                    Quoted(sample.path) + " 2>&1");
  EXPECT_EQ(self.exitCode, 2) << self.output;
  EXPECT_EQ(test::ReadAll(sample.path), before);
  EXPECT_TRUE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace bf
