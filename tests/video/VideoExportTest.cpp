// Video export read back by ffprobe: codec, frame count, duration, size and frame times.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "ExportFixture.h"
#include "host/ReplacingFileWriter.h"
#include "support/MissingFolderText.h"

namespace bf {
namespace {

class VideoExport : public test::VideoExportFixture {
 protected:
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST(VideoContainer, ComesFromTheExtension) {
  EXPECT_EQ(ContainerForPath("a/b.mkv"), VideoContainer::Matroska);
  EXPECT_EQ(ContainerForPath("B.AVI"), VideoContainer::Avi);
  EXPECT_EQ(ContainerForPath("x.Mp4"), VideoContainer::Mp4);
  EXPECT_EQ(ContainerForPath("-"), VideoContainer::Matroska);
  EXPECT_EQ(ContainerForPath("clip.mov"), std::nullopt);
  EXPECT_EQ(ContainerForPath("dir.mkv/clip"), std::nullopt);
}

TEST_F(VideoExport, EachContainerHoldsEveryFrameAtTheFixedRate) {
  camera.AddSeconds(12);
  const struct {
    const char* name;
    const char* codec;
  } cases[] = {{"v.mkv", "mjpeg"}, {"v.avi", "mjpeg"}, {"v.mp4", "h264"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    progress.done = 0;
    const ExportOutcome outcome = Export(c.name);  // 10 frames a second by default
    ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
    EXPECT_EQ(outcome.written, 12u);
    EXPECT_EQ(outcome.skipped, 0u);
    EXPECT_EQ(progress.done.load(), 12u);
    EXPECT_EQ(progress.total.load(), 12u);
    auto probed = test::Probe(dir.File(c.name));
    EXPECT_EQ(probed["codec_name"], c.codec);
    EXPECT_EQ(probed["nb_read_frames"], "12");
    EXPECT_EQ(probed["width"], "320");
    EXPECT_EQ(probed["height"], "240");
    EXPECT_NEAR(std::stod(probed["duration"]), 1.2, 0.001);
    EXPECT_EQ(test::PacketTimesMs(dir.File(c.name)),
              (std::vector<long>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100}));
  }
}

TEST_F(VideoExport, MotionJpegPacketsAreTheRebuiltPicturesUnchanged) {
  camera.AddSeconds(3);
  ASSERT_EQ(Export("v.mkv").status, ExportOutcome::Status::Done);
  // ffmpeg copies the stream out as it is: the rebuilt JPEGs back to back.
  const std::string copy = dir.File("copy.mjpeg");
  ASSERT_EQ(test::RunCommand("ffmpeg -v error -i '" + dir.File("v.mkv") + "' -c copy -f mjpeg '" +
                             copy + "'")
                .exitCode,
            0);
  Recording recording = Open();
  std::vector<uint8_t> expected;
  for (std::size_t i = 0; i < recording.Count(); ++i) {
    const std::span<const uint8_t> entry = camera.Table().SelectHeaderEntry(
        recording.Index()[i].header.Compression(), recording.Index()[i].header.Monochrome());
    expected.insert(expected.end(), entry.begin(), entry.end());
    std::vector<uint8_t> payload;
    ASSERT_TRUE(recording.ReadPayload(i, payload));
    expected.insert(expected.end(), payload.begin(), payload.end());
  }
  EXPECT_EQ(test::ReadAll(copy), expected);
}

TEST_F(VideoExport, RecordedPaceFollowsThePlayersGroupsAndLongGapRule) {
  for (uint32_t t : {100u, 100u, 100u, 101u, 105u, 200u}) camera.Add(t);
  VideoExportOptions options;
  options.rate = 0;
  for (const char* name : {"p.mkv", "p.mp4", "p.avi"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Export(name, options).status, ExportOutcome::Status::Done);
    // 333 ms spacing in the group, a lone frame held to its next second, 95 s cut to 22.222 s.
    EXPECT_EQ(test::PacketTimesMs(dir.File(name)),
              (std::vector<long>{0, 333, 666, 999, 4999, 27221}));
    auto probed = test::Probe(dir.File(name));
    EXPECT_EQ(probed["nb_read_frames"], "6");
    // The last frame, alone in its second, is held for that second.
    EXPECT_NEAR(std::stod(probed["duration"]), 28.221, 0.002);
  }
}

TEST_F(VideoExport, RecordedPaceGivesACrowdedSecondsFramesThePlayersShortestWait) {
  // 1100 frames share one camera second: the player shows them 1 ms apart, never 1 s each.
  for (int i = 0; i < 1100; ++i) camera.Add(500);
  camera.Add(501);
  VideoExportOptions options;
  options.rate = 0;
  for (const char* name : {"crowd.mkv", "crowd.avi"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Export(name, options).status, ExportOutcome::Status::Done);
    std::vector<long> expected(1101);
    std::iota(expected.begin(), expected.end(), 0L);
    EXPECT_EQ(test::PacketTimesMs(dir.File(name)), expected);
    EXPECT_NEAR(std::stod(test::Probe(dir.File(name))["duration"]), 2.1, 0.002);
  }
}

TEST_F(VideoExport, ARecordingCutShortWhileReadFailsAndKeepsAnOldFile) {
  camera.AddSeconds(10);
  const std::vector<uint8_t> old{1, 2, 3};
  for (const char* name : {"cut.mkv", "cut.mp4"}) {
    SCOPED_TRACE(name);
    dir.Write(name, old);
    Recording recording = Open();
    progress.done = 0;
    // After the fourth frame the file loses its second half, as when the copy is truncated.
    progress.afterFrame = [this](uint32_t done) {
      if (done == 4) {
        std::filesystem::resize_file(dir.File("r.bfk"), camera.Bytes().size() / 2);
      }
    };
    VideoExportOptions options;
    options.output = dir.File(name);
    options.container = *ContainerForPath(name);
    const ExportOutcome outcome = ExportVideo(recording, camera.Table(), options, progress);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_NE(outcome.error.find("changed on disk"), std::string::npos) << outcome.error;
    EXPECT_EQ(test::ReadAll(dir.File(name)), old);
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{name, "r.bfk"}));
    std::filesystem::remove(dir.File(name));
    dir.Write("r.bfk", camera.Bytes());
  }
}

TEST_F(VideoExport, RangeAndRotation) {
  camera.AddSeconds(10);
  VideoExportOptions options;
  options.range = {3, 7};
  options.rotation = 90;
  options.rate = 5;
  for (const char* name : {"r.mkv", "r.mp4"}) {
    SCOPED_TRACE(name);
    const ExportOutcome outcome = Export(name, options);
    ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
    EXPECT_EQ(outcome.written, 5u);
    auto probed = test::Probe(dir.File(name));
    EXPECT_EQ(probed["nb_read_frames"], "5");
    EXPECT_EQ(probed["width"], "240");
    EXPECT_EQ(probed["height"], "320");
    EXPECT_NEAR(std::stod(probed["duration"]), 1.0, 0.001);
  }
  options.range = {10, std::nullopt};
  const ExportOutcome past = Export("past.mkv", options);
  EXPECT_EQ(past.status, ExportOutcome::Status::Failed);
  EXPECT_EQ(past.error, "--from 10 is past the last frame 9");
  options.range = {0, std::nullopt};
  options.rotation = 45;
  EXPECT_EQ(Export("odd.mkv", options).status, ExportOutcome::Status::Failed);
}

TEST_F(VideoExport, FramesThatDoNotDecodeAreSkippedAndCounted) {
  camera.AddGarbage(1);  // no picture at all, before the first good one
  camera.AddSeconds(3, 10);
  camera.AddGarbage(20, 7);  // a compression without a table entry
  camera.AddGarbage(21);     // markers that describe nothing
  camera.Add(22);
  camera.Add(23, {.compression = 1, .monochrome = true});  // another kind, same size: kept
  for (const char* name : {"s.mkv", "s.avi", "s.mp4"}) {
    SCOPED_TRACE(name);
    const ExportOutcome outcome = Export(name);
    ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
    EXPECT_EQ(outcome.written, 5u);
    EXPECT_EQ(outcome.skipped, 3u);
    EXPECT_EQ(progress.done.exchange(0), 8u);
    EXPECT_EQ(test::Probe(dir.File(name))["nb_read_frames"], "5");
    // The video starts with the first good picture; after that the frames keep their places
    // in time and a skipped one leaves its slot to the one before.
    EXPECT_EQ(test::PacketTimesMs(dir.File(name)), (std::vector<long>{0, 100, 200, 500, 600}));
  }
}

TEST_F(VideoExport, NothingDecodableWritesNothing) {
  camera.AddGarbage(1);
  camera.AddGarbage(2);
  const ExportOutcome outcome = Export("n.mkv");
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
  EXPECT_EQ(outcome.skipped, 2u);
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"r.bfk"}));
}

TEST_F(VideoExport, ACancelledExportLeavesNothingBehindAndKeepsAnOldFile) {
  camera.AddSeconds(20);
  progress.afterFrame = [this](uint32_t done) {
    if (done == 5) progress.cancel = true;
  };
  for (const char* name : {"c.mkv", "c.avi", "c.mp4"}) {
    SCOPED_TRACE(name);
    progress.cancel = false;
    progress.done = 0;
    const ExportOutcome outcome = Export(name);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Cancelled);
    EXPECT_EQ(progress.done.load(), 5u);
    EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"r.bfk"}));
  }
  const std::vector<uint8_t> old{1, 2, 3};
  dir.Write("old.mkv", old);
  progress.cancel = false;
  progress.done = 0;
  EXPECT_EQ(Export("old.mkv").status, ExportOutcome::Status::Cancelled);
  EXPECT_EQ(test::ReadAll(dir.File("old.mkv")), old);
  EXPECT_EQ(FilesInDir(), (std::vector<std::string>{"old.mkv", "r.bfk"}));
}

TEST_F(VideoExport, AFullDiskIsReportedWithTheFileName) {
  // /dev/full takes the opening and fails every write with ENOSPC, as a full disk does.
  camera.AddSeconds(40);
  Recording recording = Open();
  for (VideoContainer container :
       {VideoContainer::Matroska, VideoContainer::Avi, VideoContainer::Mp4}) {
    VideoExportOptions options;
    options.output = "/dev/full";
    options.container = container;
    const ExportOutcome outcome = ExportVideo(recording, camera.Table(), options, progress);
    EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
    EXPECT_EQ(outcome.error, "Disk full while accessing /dev/full.");
    EXPECT_EQ(outcome.written, 0u);
  }
}

TEST_F(VideoExport, AnUnwritableFolderIsReportedBeforeAnyWork) {
  camera.AddSeconds(2);
  Recording recording = Open();
  VideoExportOptions options;
  options.output = dir.File("missing/v.mkv");
  const ExportOutcome outcome = ExportVideo(recording, camera.Table(), options, progress);
  EXPECT_EQ(outcome.status, ExportOutcome::Status::Failed);
  EXPECT_EQ(outcome.error, test::MissingFolderText(dir.File("missing/v.mkv")));
  EXPECT_EQ(progress.done.load(), 0u);
}

}  // namespace
}  // namespace bf
