// What bfk makes of inputs that are not what they claim to be: header tables that are no table
// or do not fit the recording, and FIFOs where files are expected. Every run is bounded by
// timeout(1), so that a bfk that waits on a FIFO fails the test instead of hanging it.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "cli/BfkRun.h"
#include "frames/JpegHeaderTable.h"
#include "recordings/RecordingFixture.h"

namespace bf {
namespace {

using test::Bfk;
using test::Quoted;
using test::Shell;

// timeout's status when it had to stop bfk.
constexpr int kTimedOut = 124;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

test::ShellRun BfkLine(const std::string& args, const std::string& env = "") {
  return Shell(env + " timeout 30 " + Bfk() + " " + args + " 2>&1");
}

std::size_t FilesIn(const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return 0;
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

class BfkInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    recording_ = dir_.File("rec.bfk");
    ASSERT_EQ(BfkLine("sample --frames 4 -o " + Quoted(recording_)).exitCode, 0);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string Fifo(const std::string& name) const {
    const std::string path = dir_.File(name);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  // export, frames and video of the recording with the given header table.
  test::ShellRun Export(const std::string& headers) const {
    return BfkLine("export " + Quoted(recording_) + " --frame 1 -o " + Quoted(File("still.jpg")) +
                   " --headers " + Quoted(headers));
  }
  test::ShellRun Frames(const std::string& headers) const {
    return BfkLine("frames " + Quoted(recording_) + " -d " + Quoted(File("stills")) +
                   " --headers " + Quoted(headers));
  }
  test::ShellRun Video(const std::string& headers) const {
    return BfkLine("video " + Quoted(recording_) + " -o " + Quoted(File("video.mkv")) +
                   " --headers " + Quoted(headers));
  }
  bool NothingWritten() const {
    return !std::filesystem::exists(File("still.jpg")) && FilesIn(File("stills")) == 0 &&
           !std::filesystem::exists(File("video.mkv"));
  }

  test::TempDir dir_;
  std::string recording_;
};

TEST_F(BfkInputs, AHeaderTableThatIsNoTableIsRefusedByEveryCommand) {
  const std::string allFF = File("ff.dat");
  std::ofstream(allFF, std::ios::binary) << std::string(JpegHeaderTable::kFileSize + 70, '\xFF');
  const std::string noStart =
      " is not a JPEG header table: the black-and-white part for compression 0: it does not "
      "begin with a JPEG start marker (FF D8).";
  // Parts for two picture sizes: the colour ones from a 640x480 table.
  const std::string small = File("small.dat"), big = File("big.dat"), mixed = File("mixed.dat");
  ASSERT_EQ(BfkLine("headers -o " + Quoted(small)).exitCode, 0);
  ASSERT_EQ(BfkLine("headers --size 640x480 -o " + Quoted(big)).exitCode, 0);
  {
    std::ifstream a(small, std::ios::binary), b(big, std::ios::binary);
    const std::string s{std::istreambuf_iterator<char>(a), {}};
    const std::string l{std::istreambuf_iterator<char>(b), {}};
    std::ofstream(mixed, std::ios::binary) << s.substr(0, 3440) + l.substr(3440);
  }
  const struct {
    std::string table;
    std::string says;
  } cases[] = {
      {"/dev/zero", "/dev/zero is not a regular file."},
      {allFF, allFF + noStart},
      {recording_, recording_ + noStart},
      {mixed, mixed +
                  " is not a JPEG header table for one picture size: the black-and-white part "
                  "for compression 0 is for 320x240 pictures, the colour part for compression 0 "
                  "for 640x480."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    for (const test::ShellRun& run : {Export(c.table), Frames(c.table), Video(c.table)}) {
      EXPECT_EQ(run.exitCode, 1) << run.output;
      EXPECT_TRUE(Contains(run.output, c.says)) << run.output;
    }
    EXPECT_TRUE(NothingWritten());
  }
}

TEST_F(BfkInputs, FramesThatDoNotDecodeWithTheTableAreNamedAndNotWritten) {
  const std::string big = File("big.dat");
  ASSERT_EQ(BfkLine("headers --size 640x480 -o " + Quoted(big)).exitCode, 0);

  const test::ShellRun still = Export(big);
  EXPECT_EQ(still.exitCode, 1) << still.output;
  EXPECT_TRUE(
      Contains(still.output, "frame 1 does not decode with " + big + "; nothing was written"))
      << still.output;

  const std::string named = "4 frames do not decode with " + big + " and were left out: 0, 1, 2, 3";
  const test::ShellRun frames = Frames(big);
  EXPECT_EQ(frames.exitCode, 1) << frames.output;
  EXPECT_TRUE(Contains(frames.output, "0 frames written")) << frames.output;
  EXPECT_TRUE(Contains(frames.output, "bfk frames: " + named)) << frames.output;

  const test::ShellRun video = Video(big);
  EXPECT_EQ(video.exitCode, 1) << video.output;
  EXPECT_TRUE(Contains(video.output, "bfk video: " + named)) << video.output;
  EXPECT_TRUE(NothingWritten());

  // The other way round: a 640x480 recording with the build's 320x240 table, part of a range.
  const std::string large = File("large.bfk");
  ASSERT_EQ(BfkLine("sample --frames 3 --size 640x480 -o " + Quoted(large)).exitCode, 0);
  const test::ShellRun some = BfkLine("frames " + Quoted(large) + " -d " + Quoted(File("stills")) +
                                      " --from 1 --headers " BF_HEADERS_DAT);
  EXPECT_EQ(some.exitCode, 1) << some.output;
  EXPECT_TRUE(Contains(some.output,
                       "2 frames do not decode with " BF_HEADERS_DAT " and were left out: 1, 2"))
      << some.output;
  EXPECT_EQ(FilesIn(File("stills")), 0u);
}

TEST_F(BfkInputs, AGeneratedTableForTheRecordingsSizeIsTaken) {
  const std::string table = File("headers.dat");
  ASSERT_EQ(BfkLine("headers -o " + Quoted(table)).exitCode, 0);
  const test::ShellRun still = Export(table);
  EXPECT_EQ(still.exitCode, 0) << still.output;
  EXPECT_EQ(still.output, "");
  const test::ShellRun frames = Frames(table);
  EXPECT_EQ(frames.exitCode, 0) << frames.output;
  EXPECT_TRUE(Contains(frames.output, "4 frames written to")) << frames.output;
  EXPECT_FALSE(Contains(frames.output, "decode")) << frames.output;
  EXPECT_EQ(FilesIn(File("stills")), 4u);
  const test::ShellRun video = Video(table);
  EXPECT_EQ(video.exitCode, 0) << video.output;
  EXPECT_TRUE(Contains(video.output, "4 frames written to")) << video.output;
}

TEST_F(BfkInputs, AFifoAsHeaderTableOrRecordingIsRefusedNotWaitedFor) {
  const std::string table = Fifo("headers.dat");
  for (const test::ShellRun& run : {Export(table), Frames(table), Video(table)}) {
    EXPECT_NE(run.exitCode, kTimedOut) << "waited on the FIFO";
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, table + " is not a regular file.")) << run.output;
  }

  recording_ = Fifo("pipe.bfk");
  const std::string says = recording_ + " is not a regular file";
  for (const test::ShellRun& run : {BfkLine("info " + Quoted(recording_)), Export(BF_HEADERS_DAT),
                                    Frames(BF_HEADERS_DAT), Video(BF_HEADERS_DAT)}) {
    EXPECT_NE(run.exitCode, kTimedOut) << "waited on the FIFO";
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, says)) << run.output;
  }
  EXPECT_TRUE(NothingWritten());
}

TEST_F(BfkInputs, ATraceFifoWithoutReaderIsExplainedAndTheCommandRunsUntraced) {
  const std::string trace = Fifo("trace");
  const test::ShellRun run =
      BfkLine("clock --camera sim:speed=0", "BRINDLEFLASH_TRACE=" + Quoted(trace));
  EXPECT_NE(run.exitCode, kTimedOut) << "waited for a reader of the trace";
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "BRINDLEFLASH_TRACE: cannot open \"" + trace +
                                       "\" for appending (no program is reading it); the "
                                       "program goes on without a link trace"))
      << run.output;
  EXPECT_TRUE(Contains(run.output, "camera clock:")) << run.output;
}

}  // namespace
}  // namespace bf
