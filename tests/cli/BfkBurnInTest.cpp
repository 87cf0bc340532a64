// bfk video --burn-in: the overlay line drawn into the frames of a `bfk sample` recording.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../video/VideoFixture.h"
#include "cli/BfkRun.h"
#include "recordings/RecordingFixture.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

#ifdef BF_BFK_VIDEO

using test::Bfk;
using test::Quoted;
using test::Shell;

// The luma of a video's first frame, and its width.
std::vector<uint8_t> FirstLuma(const std::string& video, const std::string& raw) {
  const test::ShellRun run = Shell("ffmpeg -v error -y -i " + Quoted(video) +
                                   " -frames:v 1 -f rawvideo -pix_fmt gray " + Quoted(raw));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return test::ReadAll(raw);
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                      std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(to - from);
}

TEST(BfkBurnIn, DrawsTheOverlayLineIntoEachFrameOfTheStretch) {
  test::TimeZoneGuard zone("UTC0");
  test::TempDir dir;
  const std::string rec = dir.File("s.bfk");
  const test::ShellRun sample =
      Shell(Bfk() + " sample -o " + Quoted(rec) + " --frames 12 --recordings 1 --fast 2>&1");
  ASSERT_EQ(sample.exitCode, 0) << sample.output;
  for (const char* ext : {"mkv", "mp4"}) {
    SCOPED_TRACE(ext);
    const std::string plain = dir.File(std::string("plain.") + ext);
    const std::string burnt = dir.File(std::string("burnt.") + ext);
    const std::string stretch = " --from 5 --to 7 --pace 5";
    test::ShellRun run = Shell(Bfk() + " video " + Quoted(rec) + " -o " + Quoted(plain) + stretch);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    run = Shell(Bfk() + " video " + Quoted(rec) + " -o " + Quoted(burnt) + stretch + " --burn-in");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "3 frames written to " + burnt + ", 0 skipped\n");
    auto probed = test::Probe(burnt);
    EXPECT_EQ(probed["nb_read_frames"], "3");
    EXPECT_EQ(test::PacketTimesMs(burnt), (std::vector<long>{0, 200, 400}));
    const std::size_t width = std::stoul(probed["width"]);
    const std::vector<uint8_t> a = FirstLuma(plain, dir.File("a.gray"));
    const std::vector<uint8_t> b = FirstLuma(burnt, dir.File("b.gray"));
    ASSERT_EQ(a.size(), b.size());
    ASSERT_GT(a.size(), width * 40);
    const std::size_t scale = width >= 640 ? 2 : 1;
    // The strip at the top holds the line; the picture under it is the camera's.
    EXPECT_GT(MeanDifference(a, b, 0, width * 9 * scale), 20.0);
    EXPECT_LT(MeanDifference(a, b, width * 32, a.size()), 3.0);
  }
  const test::ShellRun help = Shell(Bfk() + " help video");
  EXPECT_NE(help.output.find("--burn-in"), std::string::npos) << help.output;
}

#endif

}  // namespace
}  // namespace bf
