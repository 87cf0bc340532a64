// The overlay line burned into exported video frames, read back by ffmpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "ExportFixture.h"
#include "frames/OverlayText.h"
#include "recordings/video/BurnIn.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

class BurnIn : public test::VideoExportFixture {
 protected:
  // The luma of the video's frame `n` (from 0), 320x240. Every frame is converted at once: a
  // change of pixel format (a black-and-white frame) restarts ffmpeg's frame count in filters.
  std::vector<uint8_t> Luma(const std::string& name, int n) {
    const std::string raw = dir.File(name + ".gray");
    const test::CommandRun run = test::RunCommand("ffmpeg -v error -y -i '" + dir.File(name) +
                                                  "' -f rawvideo -pix_fmt gray '" + raw + "'");
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<uint8_t> all = test::ReadAll(raw);
    constexpr std::size_t kFrame = 320 * 240;
    const auto from = static_cast<std::size_t>(n) * kFrame;
    if (all.size() < from + kFrame) return {};
    return std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(from),
                                all.begin() + static_cast<std::ptrdiff_t>(from + kFrame));
  }

  test::TimeZoneGuard zone{"UTC0"};
};

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int rowFrom,
                      int rowTo) {
  double sum = 0;
  for (std::size_t i = static_cast<std::size_t>(rowFrom) * 320;
       i < static_cast<std::size_t>(rowTo) * 320; ++i) {
    sum += std::abs(int{a[i]} - int{b[i]});
  }
  return sum / ((rowTo - rowFrom) * 320.0);
}

// A 320x240 luma plane with `line` burnt in.
std::vector<uint8_t> Drawn(const std::vector<uint8_t>& luma, const std::string& line) {
  video::YuvPicture picture;
  picture.layout = {320, 240, 0};
  picture.planeCount = 1;
  picture.widths[0] = 320;
  picture.heights[0] = 240;
  picture.planes[0] = luma;
  video::BurnInText(picture, line);
  return picture.planes[0];
}

// The share of the strip's pixels (rows 0..8) that are light in both pictures or dark in both.
double InkAgreement(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::size_t same = 0;
  for (std::size_t i = 0; i < 9 * 320; ++i) same += (a[i] > 128) == (b[i] > 128);
  return static_cast<double>(same) / (9 * 320);
}

TEST_F(BurnIn, EachFrameCarriesItsOwnOverlayLineInEveryContainer) {
  // 2025-12-06 05:46:40 UTC and the two seconds after it, the last one in black and white.
  camera.Add(1'765'000'000);
  camera.Add(1'765'000'001);
  sim::FrameSettings bw;
  bw.monochrome = true;
  camera.Add(1'765'000'002, bw);
  VideoExportOptions plain;
  plain.rate = 5;
  VideoExportOptions burnt = plain;
  burnt.burnIn = true;
  for (const char* name : {"b.mkv", "b.avi", "b.mp4"}) {
    SCOPED_TRACE(name);
    // The same container without the line, for the picture under it.
    const std::string unburnt = std::string("plain") + std::strrchr(name, '.');
    ASSERT_EQ(Export(unburnt, plain).status, ExportOutcome::Status::Done);
    const ExportOutcome outcome = Export(name, burnt);
    ASSERT_EQ(outcome.status, ExportOutcome::Status::Done) << outcome.error;
    EXPECT_EQ(outcome.written, 3u);
    auto probed = test::Probe(dir.File(name));
    EXPECT_EQ(probed["nb_read_frames"], "3");
    EXPECT_EQ(probed["width"], "320");
    EXPECT_EQ(test::PacketTimesMs(dir.File(name)), (std::vector<long>{0, 200, 400}));
    Recording recording;
    ASSERT_EQ(recording.Open(dir.File("r.bfk")), Recording::OpenStatus::Opened);
    for (int n = 0; n < 3; ++n) {
      SCOPED_TRACE(n);
      const std::vector<uint8_t> original = Luma(unburnt, n);
      const std::vector<uint8_t> got = Luma(name, n);
      ASSERT_EQ(got.size(), 320u * 240u);
      ASSERT_EQ(original.size(), got.size());
      // The plain picture with each frame's line drawn on: the burnt frame shows its own line
      // (ink where the line has ink) better than any other frame's.
      std::vector<double> agreement;
      for (std::size_t other = 0; other < 3; ++other) {
        const std::string line = BuildOverlayText(recording.Index()[other].header);
        if (other == static_cast<std::size_t>(n)) {
          EXPECT_EQ(line.substr(0, 20), "06.12.25, 05:46:4" + std::to_string(n) + " /");
        }
        agreement.push_back(InkAgreement(got, Drawn(original, line)));
      }
      for (std::size_t other = 0; other < 3; ++other) {
        if (other != static_cast<std::size_t>(n)) {
          EXPECT_GT(agreement[static_cast<std::size_t>(n)], agreement[other]);
        }
      }
      EXPECT_GT(agreement[static_cast<std::size_t>(n)], 0.97);
      // The line is there: the strip differs from the plain picture.
      EXPECT_GT(MeanDifference(got, original, 0, 9), 20.0);
      // Below the strip the picture is the camera's (encoded once more).
      EXPECT_LT(MeanDifference(got, original, 16, 240), 3.0);
    }
  }
}

TEST(BurnInText, DrawsOnlyItsStripAndStopsAtThePicturesEdge) {
  video::YuvPicture picture;
  picture.layout = {40, 20, 2};  // 4:2:0
  picture.planeCount = 3;
  const int widths[3] = {40, 20, 20}, heights[3] = {20, 10, 10};
  for (int p = 0; p < 3; ++p) {
    picture.widths[p] = widths[p];
    picture.heights[p] = heights[p];
    picture.planes[p].assign(static_cast<std::size_t>(widths[p] * heights[p]), 200);
  }
  video::BurnInText(picture, "88888888888888");  // longer than the picture is wide
  // Rows 0..8 are the strip: dark paper with light ink; nothing below.
  int ink = 0;
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint8_t v = picture.planes[0][static_cast<std::size_t>(y * 40 + x)];
      EXPECT_TRUE(v == 16 || v == 235) << x << "," << y;
      ink += v == 235;
    }
  }
  EXPECT_GT(ink, 40);
  for (std::size_t i = 9 * 40; i < picture.planes[0].size(); ++i)
    EXPECT_EQ(picture.planes[0][i], 200);
  // The strip's colour is neutral; the chroma below it is untouched.
  EXPECT_EQ(picture.planes[1][0], 128);
  EXPECT_EQ(picture.planes[2][19], 128);
  EXPECT_EQ(picture.planes[1][5 * 20], 200);
  // An empty line draws nothing.
  video::YuvPicture untouched = picture;
  video::BurnInText(untouched, "");
  EXPECT_EQ(untouched.planes[0], picture.planes[0]);
}

}  // namespace
}  // namespace bf
