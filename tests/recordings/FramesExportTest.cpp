// Still folders and the frame times a video gets.
#include <gtest/gtest.h>

#include <filesystem>

#include "RecordingFixture.h"
#include "frames/HeaderGenerator.h"
#include "recordings/FramesExport.h"
#include "recordings/Pacing.h"
#include "recordings/StillFile.h"

namespace bf {
namespace {

std::vector<FrameIndexEntry> Entries(const std::vector<uint32_t>& stamps) {
  std::vector<FrameIndexEntry> entries;
  for (uint32_t t : stamps) entries.push_back({FrameHeader::Make(1016, t, 2, 0, 3, 0), 0});
  return entries;
}

TEST(FrameDurations, AreTheDelaysThePlayerWaitsBetweenFrames) {
  // Like original: one second spread over its frames, a lone frame held until its next
  // second; a last lone frame computes no delay and is held for its own second.
  EXPECT_EQ(FrameDurationsMs(Entries({100, 100, 100, 101, 105}), 0),
            (std::vector<uint32_t>{333, 333, 333, 4000, 1000}));
  // Gaps above 20 s and clocks that went backwards become 22.222 s; 20 s stays.
  EXPECT_EQ(FrameDurationsMs(Entries({0, 20, 41, 40, 40}), 0),
            (std::vector<uint32_t>{20000, 22222, 22222, 500, 500}));
  // The spacing of a group holds up to its last frame, whatever comes next.
  EXPECT_EQ(FrameDurationsMs(Entries({7, 7, 9}), 0), (std::vector<uint32_t>{500, 500, 1000}));
  EXPECT_EQ(FrameDurationsMs(Entries({1, 2, 3}), 3), (std::vector<uint32_t>{333, 333, 333}));
  EXPECT_EQ(FrameDurationsMs(Entries({1, 1}), 20), (std::vector<uint32_t>{50, 50}));
  EXPECT_TRUE(FrameDurationsMs({}, 0).empty());
  // More than 1000 frames in one second: the player waits its shortest time, 1 ms, for each.
  std::vector<uint32_t> crowded(1200, 50);
  crowded.push_back(51);
  std::vector<uint32_t> expected(1200, 1);
  expected.push_back(1000);
  EXPECT_EQ(FrameDurationsMs(Entries(crowded), 0), expected);
}

TEST(ExportRange, IsClippedToTheRecordingAndRefusedWhenEmpty) {
  ResolvedRange r = ResolveRange({}, 7);
  EXPECT_EQ(r.first, 0u);
  EXPECT_EQ(r.count, 7u);
  r = ResolveRange({2, 100}, 7);
  EXPECT_EQ(r.first, 2u);
  EXPECT_EQ(r.count, 5u);
  EXPECT_EQ(ResolveRange({3, 3}, 7).count, 1u);
  EXPECT_EQ(ResolveRange({7, std::nullopt}, 7).error, "--from 7 is past the last frame 6");
  EXPECT_EQ(ResolveRange({4, 2}, 7).error, "--to 2 is before --from 4");
  EXPECT_FALSE(ResolveRange({}, 0).error.empty());
}

TEST(StillFileName, IsTheLocalTimeAndTheIndex) {
  // The tests run with TZ=UTC.
  const FrameHeader h = FrameHeader::Make(1016, 1796565785, 2, 0, 3, 0);  // 2026-12-06 14:03:05
  EXPECT_EQ(StillFileName(h, 123), "2026-12-06_14-03-05_000123.jpg");
  EXPECT_EQ(StillFileName(h, 1234567), "2026-12-06_14-03-05_1234567.jpg");
}

class FramesExport : public ::testing::Test {
 protected:
  FramesExport() : table(GenerateHeaderTable({320, 240})) {}
  void Open(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(recording.Open(dir.Write("r.bfk", bytes)), Recording::OpenStatus::Opened);
  }
  std::vector<std::string> Stills() const {
    std::vector<std::string> names;
    if (!std::filesystem::exists(out)) return names;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempDir dir;
  JpegHeaderTable table;
  Recording recording;
  ExportProgress progress;
  std::string out = dir.File("stills/day1");
};

TEST_F(FramesExport, WritesEveryFrameAsTheSaveButtonDoes) {
  std::vector<uint8_t> bytes;
  test::AppendPictureRecord(
      bytes, {.recordLength = 2016, .timestamp = 1796565785, .compression = 4, .monochrome = 1});
  test::AppendPictureRecord(bytes,
                            {.recordLength = 5016, .timestamp = 1796565785, .compression = 1});
  test::AppendRecord(bytes, {.recordLength = 1016, .timestamp = 1796565790, .compression = 9});
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .timestamp = 1796565791});
  Open(bytes);
  const ExportOutcome outcome = ExportFrames(recording, table, out, {}, progress);
  ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
  EXPECT_EQ(outcome.written, 3u);
  EXPECT_EQ(outcome.skipped, 1u);  // compression 9 has no JPEG header
  EXPECT_TRUE(outcome.undecodable.empty());
  EXPECT_EQ(progress.done.load(), 4u);
  EXPECT_EQ(Stills(), (std::vector<std::string>{"2026-12-06_14-03-05_000000.jpg",
                                                "2026-12-06_14-03-05_000001.jpg",
                                                "2026-12-06_14-03-11_000003.jpg"}));
  // Byte for byte what "Сохранить" writes for the same frame.
  for (uint32_t i : {0u, 1u, 3u}) {
    const FrameHeader& h = recording.Index()[i].header;
    const std::string single = dir.File("single.jpg");
    std::vector<uint8_t> payload;
    ASSERT_TRUE(recording.ReadPayload(i, payload));
    ASSERT_EQ(WriteStillFile(table.SelectHeaderEntry(h.Compression(), h.Monochrome()), h, payload,
                             single),
              0u);
    EXPECT_EQ(test::ReadAll(out + "/" + StillFileName(h, i)), test::ReadAll(single));
  }
  EXPECT_EQ(test::ReadAll(out + "/2026-12-06_14-03-05_000001.jpg").size(), 5714u);
}

TEST_F(FramesExport, RangeCancelAndWriteFailures) {
  Open(test::PictureRecordingWithTimestamps({1, 2, 3, 4, 5, 6}));
  ExportOutcome outcome = ExportFrames(recording, table, out, {2, 3}, progress);
  EXPECT_EQ(outcome.written, 2u);
  EXPECT_EQ(Stills(), (std::vector<std::string>{"1970-01-01_00-00-03_000002.jpg",
                                                "1970-01-01_00-00-04_000003.jpg"}));
  std::filesystem::remove_all(out);

  // Cancelled after three stills: nothing appears.
  progress.done = 0;
  progress.afterFrame = [this](uint32_t done) {
    if (done == 3) progress.cancel = true;
  };
  outcome = ExportFrames(recording, table, out, {}, progress);
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(out));  // the folder it made is gone as well
  progress.afterFrame = nullptr;
  progress.cancel = false;

  // A still whose name is taken by a folder cannot be written: the export ends, reports the
  // file, and leaves nothing of its own.
  std::filesystem::create_directories(out + "/1970-01-01_00-00-03_000002.jpg");
  outcome = ExportFrames(recording, table, out, {}, progress);
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
  const std::string still =
      (std::filesystem::path(out) / "1970-01-01_00-00-03_000002.jpg").string();
  EXPECT_EQ(outcome.error, still + " is a folder, not a file.");
  EXPECT_EQ(Stills(), (std::vector<std::string>{"1970-01-01_00-00-03_000002.jpg"}));

  // A folder that cannot be made.
  dir.Write("file", std::vector<uint8_t>{1});
  outcome = ExportFrames(recording, table, dir.File("file/sub"), {}, progress);
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
  EXPECT_NE(outcome.error.find(dir.File("file/sub")), std::string::npos) << outcome.error;
}

TEST_F(FramesExport, FramesThatDoNotDecodeAreSkippedAndNamed) {
  // Frames 1 and 3 carry bytes that are no picture; frame 4 is a picture for twice the size
  // the table is for, which libjpeg reads only with complaints.
  std::vector<uint8_t> bytes;
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .timestamp = 10});
  test::AppendRecord(bytes, {.recordLength = 2016, .timestamp = 11});
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .timestamp = 12, .monochrome = 1});
  test::AppendRecord(bytes, {.recordLength = 2016, .timestamp = 13, .monochrome = 1});
  FramePayloadEncoder large({640, 480});
  const std::vector<uint8_t> grey(640 * 480 * 3, 90);
  const std::vector<uint8_t> picture = large.Encode(grey.data(), false, 2);
  const FrameHeader h =
      FrameHeader::Make(static_cast<uint16_t>(picture.size() + kFrameHeaderSize), 14, 2, 0, 6, 0);
  bytes.insert(bytes.end(), h.bytes.begin(), h.bytes.end());
  bytes.insert(bytes.end(), picture.begin(), picture.end());
  Open(bytes);

  const ExportOutcome outcome = ExportFrames(recording, table, out, {}, progress);
  ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
  EXPECT_EQ(outcome.written, 2u);
  EXPECT_EQ(outcome.skipped, 3u);
  EXPECT_EQ(outcome.undecodable, (std::vector<uint32_t>{1, 3, 4}));
  EXPECT_EQ(progress.done.load(), 5u);
  EXPECT_EQ(Stills(), (std::vector<std::string>{"1970-01-01_00-00-10_000000.jpg",
                                                "1970-01-01_00-00-12_000002.jpg"}));
}

// An earlier export's stills, each holding its own name, so that a replaced one shows.
class FramesExportOverEarlier : public FramesExport {
 protected:
  void SetUp() override {
    Open(test::PictureRecordingWithTimestamps({1, 2, 3, 4, 5, 6}));
    std::filesystem::create_directories(out);
    for (int i = 0; i < 6; ++i) {
      const std::string name = StillFileName(recording.Index()[i].header, i);
      earlier.push_back(name);
      dir.Write("stills/day1/" + name, std::vector<uint8_t>(name.begin(), name.end()));
    }
  }
  // The folder holds the earlier stills, unchanged, and nothing else.
  void ExpectEarlierStills() const {
    EXPECT_EQ(Stills(), earlier);
    for (const std::string& name : earlier) {
      EXPECT_EQ(test::ReadAll(out + "/" + name), std::vector<uint8_t>(name.begin(), name.end()))
          << name;
    }
  }
  std::vector<std::string> earlier;
};

TEST_F(FramesExportOverEarlier, EveryUnfinishedEndLeavesTheEarlierStills) {
  // Cancelled while writing, and after the last still, when they are being put in place.
  for (const uint32_t at : {3u, 6u}) {
    SCOPED_TRACE(at);
    progress.done = 0;
    progress.cancel = false;
    progress.afterFrame = [this, at](uint32_t done) {
      if (done == at) progress.cancel = true;
    };
    EXPECT_EQ(ExportFrames(recording, table, out, {}, progress).status,
              ExportOutcome::Status::Cancelled);
    ExpectEarlierStills();
  }
  progress.afterFrame = nullptr;
  progress.cancel = false;

  // A write failure on the fifth still, after four have replaced nothing yet.
  const std::string blocked = (std::filesystem::path(out) / earlier[4]).string();
  std::filesystem::remove(blocked);
  std::filesystem::create_directories(blocked);
  const ExportOutcome failed = ExportFrames(recording, table, out, {}, progress);
  EXPECT_EQ(failed.status, ExportOutcome::Status::Failed);
  EXPECT_EQ(failed.error, blocked + " is a folder, not a file.");
  std::filesystem::remove(blocked);
  dir.Write("stills/day1/" + earlier[4],
            std::vector<uint8_t>(earlier[4].begin(), earlier[4].end()));
  ExpectEarlierStills();

  // Completed: every still is the new one.
  const ExportOutcome done = ExportFrames(recording, table, out, {}, progress);
  ASSERT_EQ(done.status, ExportOutcome::Status::Done) << done.error;
  EXPECT_EQ(Stills(), earlier);
  EXPECT_EQ(test::ReadAll(out + "/" + earlier[0]).size(), 698u + 2000u + 16u);
}

TEST_F(FramesExport, TheRecordingIsNeverWrittenOverByAStill) {
  const std::vector<uint8_t> bytes = test::PictureRecordingWithTimestamps({1, 2, 3});
  const std::string name = StillFileName(FrameHeader::Make(1016, 2, 2, 0, 3, 0), 1);
  std::filesystem::create_directories(out);
  const std::string inside = dir.Write("stills/day1/" + name, bytes);
  ASSERT_EQ(recording.Open(inside), Recording::OpenStatus::Opened);
  const ExportOutcome outcome = ExportFrames(recording, table, out, {}, progress);
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
  EXPECT_EQ(outcome.error, "the still " + (std::filesystem::path(out) / name).string() +
                               " would replace the recording itself; nothing was written");
  EXPECT_EQ(test::ReadAll(inside), bytes);
  EXPECT_EQ(Stills(), (std::vector<std::string>{name}));
}

}  // namespace
}  // namespace bf
