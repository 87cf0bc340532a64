// bfk copy run as a user runs it, against the simulated camera of each type: the file it
// leaves, its report, its exit status, the refusals, Ctrl-C and the link trace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "flash/FlashAddress.h"
#include "host/TickSource.h"
#include "recordings/FrameIndex.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "support/TempFolder.h"

extern char** environ;

namespace bf {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::vector<uint8_t> ReadBytes(const fs::path& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}

class BfkCopy : public ::testing::Test {
 protected:
  struct Run {
    int status = -1;
    std::string out;
    std::string err;
  };

  // Starts bfk with stdin from /dev/null and stdout, stderr into files; extraEnv as NAME=VALUE.
  pid_t Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
    std::vector<std::string> argv{BF_BFK_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("BRINDLEFLASH_", 0) != 0) env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> cenv;
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = (dir_ / "stdout").string();
    const std::string err = (dir_ / "stderr").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, BF_BFK_PATH, &actions, nullptr, cargv.data(), cenv.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  Run Wait(pid_t pid) {
    Run run;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = ReadText(dir_ / "stdout");
    run.err = ReadText(dir_ / "stderr");
    return run;
  }
  Run Bfk(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {}) {
    return Wait(Start(args, extraEnv));
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  const bf::test::TempFolder folder_{"bf-copy"};
  const fs::path& dir_ = folder_.Path();
};

// The same camera bfk gets from the camera selection, in this process, to compare with.
std::vector<uint8_t> FlashOf(const std::string& options, uint64_t address, uint64_t count) {
  std::string error;
  const auto parsed = sim::ParseSimOptions(options, sim::SimOptions::Demo(), &error);
  EXPECT_TRUE(parsed.has_value()) << error;
  VirtualClock clock;
  sim::SimCamera camera(*parsed, clock);
  return camera.FlashBytes(address, count);
}

constexpr const char* kFixed = "frames=40,damaged=0,speed=0,clock=1245067200";

TEST_F(BfkCopy, EveryCameraTypeGivesItsFlashBytesAndAReport) {
  struct Case {
    int type;
    uint64_t firstAddress;
    const char* range;
  };
  for (const Case c : {Case{0, uint64_t{kFirstDataSector} * kSectorSize, nullptr},
                       Case{1, 0, nullptr}, Case{2, 0, "0-0"}}) {
    SCOPED_TRACE(c.type);
    const std::string options = "type=" + std::to_string(c.type) + "," + kFixed;
    const std::string out = File("copy" + std::to_string(c.type) + ".bfk");
    std::vector<std::string> args{"copy", "-o", out, "--camera", "sim:" + options};
    if (c.range != nullptr) args.insert(args.end(), {"--range", c.range});
    const Run run = Bfk(args);
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    const auto bytes = ReadBytes(out);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, FlashOf(options, c.firstAddress, bytes.size()));
    EXPECT_EQ(BuildFrameIndex(bytes).size(), 40u);
    EXPECT_NE(run.out.find("camera type: " + std::to_string(c.type)), std::string::npos);
    EXPECT_NE(run.out.find("outcome: completed"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bytes received: " + std::to_string(bytes.size())), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("short chunks: 0"), std::string::npos);
    EXPECT_NE(run.out.find("frames: 40\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("time span: 2009-06-"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("damaged stretches: 0 "), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no progress bar off a terminal";
  }
}

TEST_F(BfkCopy, ToStandardOutputTheRecordingComesAloneAndTheReportGoesToStandardError) {
  const std::string options = std::string("type=1,") + kFixed;
  const Run run = Bfk({"copy", "-o", "-", "--camera", "sim:" + options});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<uint8_t> bytes(run.out.begin(), run.out.end());
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes, FlashOf(options, 0, bytes.size()));
  EXPECT_EQ(run.out.find("copy report"), std::string::npos);
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 40u);
  EXPECT_NE(run.err.find("outcome: completed"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("bytes received: " + std::to_string(bytes.size())), std::string::npos)
      << run.err;
  // What went out cannot be read back, and a file named "-" is not what was written.
  EXPECT_NE(run.err.find("file: -\n  standard output, not read back\n"), std::string::npos)
      << run.err;
}

TEST_F(BfkCopy, DamagedStretchesAreListed) {
  const std::string out = File("damaged.bfk");
  const Run run =
      Bfk({"copy", "-o", out, "--camera", "sim:type=1,frames=30,recordings=3,damaged=1,speed=0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("damaged stretches: 1 ("), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("    at offset "), std::string::npos) << run.out;
}

TEST_F(BfkCopy, ATypeTwoCameraWithoutARangeOffATerminalIsRefused) {
  const std::string out = File("refused.bfk");
  const Run run = Bfk({"copy", "-o", out, "--camera", std::string("sim:type=2,") + kFixed});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--range START-END"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("outcome: declined"), std::string::npos) << run.out;
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(BfkCopy, ARangeEndingInAnEmptySectorEndsBeforeTheFirstChunk) {
  // The simulated camera records into sector 0 only: sector 1 holds no picture's end.
  const std::string out = File("beyond.bfk");
  const Run run =
      Bfk({"copy", "-o", out, "--range", "0-1", "--camera", std::string("sim:type=2,") + kFixed});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("outcome: no frame at the range boundary"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("chunks: 0\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  size: 0 bytes\n  frames: 0 (empty file)\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("cannot be read"), std::string::npos) << run.out;
}

TEST_F(BfkCopy, BadArgumentsAndCamerasAreExplained) {
  Run run = Bfk({"copy", "-o", File("x.bfk"), "--range", "3-300"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("3-300"), std::string::npos) << run.err;
  run = Bfk({"copy"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: bfk copy -o FILE"), std::string::npos) << run.err;
  run = Bfk({"copy", "-o", File("x.bfk"), "--camera", "webcam"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("webcam"), std::string::npos) << run.err;
  // The default camera is the one BRINDLEFLASH_CAMERA names.
  run = Bfk({"copy", "-o", File("env.bfk")},
            {std::string("BRINDLEFLASH_CAMERA=sim:type=1,") + kFixed});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(BuildFrameIndex(ReadBytes(File("env.bfk"))).size(), 40u);
  EXPECT_FALSE(fs::exists(File("x.bfk")));
}

TEST_F(BfkCopy, ACameraFallingSilentEndsTheCopyAsAFailure) {
  const std::string out = File("silent.bfk");
  const Run run = Bfk({"copy", "-o", out, "--camera",
                       "sim:type=1,frames=200,damaged=0,speed=0,silent_after_bytes=700000"});
  EXPECT_EQ(run.status, 1) << run.out;
  // The window's two-line message stays on the outcome's one line of the report.
  EXPECT_NE(run.out.find("outcome: failed: Не возможно сохранить. Ошибка при чтении содержимого "
                         "памяти\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("complete: no"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("short chunks: 1"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("Ошибка при чтении содержимого памяти"), std::string::npos) << run.err;
  // The silence came 700,000 bytes in, inside the second chunk: the file holds the first one,
  // the only whole chunk, and nothing of the cut one.
  EXPECT_EQ(fs::file_size(out), 524'289u);
}

TEST_F(BfkCopy, CtrlCCancelsAndTheFileKeepsEveryChunk) {
  const std::string out = File("interrupted.bfk");
  // Type 0 at 1 MB/s of real time: a copy of several seconds through the reader thread.
  const pid_t pid =
      Start({"copy", "-o", out, "--camera", "sim:type=0,frames=3000,damaged=0,speed=1000000"});
  // Interrupt once data is on its way to disk (into a new file beside the chosen name).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool writing = false;
  while (!writing && std::chrono::steady_clock::now() < deadline) {
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name.find("interrupted.bfk.") != std::string::npos && entry.file_size() > 0) {
        writing = true;
      }
    }
    std::this_thread::yield();
  }
  ASSERT_TRUE(writing);
  kill(pid, SIGINT);
  const Run run = Wait(pid);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("interrupted"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("outcome: cancelled"), std::string::npos) << run.out;
  const auto size = fs::file_size(out);
  EXPECT_GT(size, 0u);
  EXPECT_EQ(size % (124 * kSectorSize), 0u) << "whole chunks only";
  EXPECT_NE(run.out.find("bytes received: " + std::to_string(size)), std::string::npos) << run.out;
  EXPECT_LT(size, 3000u * 4096u) << "it stopped early";
}

TEST_F(BfkCopy, AnUnfinishedCopyLeavesAnExistingFileAndNamesWhereItsChunksWent) {
  const std::string out = File("old.bfk");
  const std::string partial = File("old.partial.bfk");
  const std::string old = "an earlier complete copy";
  std::ofstream(out) << old;
  Run run = Bfk({"copy", "-o", out, "--camera",
                 "sim:type=1,frames=200,damaged=0,speed=0,silent_after_bytes=700000"});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(ReadText(out), old);
  EXPECT_EQ(fs::file_size(partial), 524'289u) << "the one whole chunk";
  EXPECT_NE(run.out.find("outcome: failed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("file: " + partial + "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  unfinished copy: the whole chunks received, kept beside " + out),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("left as it was: " + out + " (received chunks in " + partial + ")"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("оставлен без изменений, полученные данные сохранены в файле " + partial),
            std::string::npos)
      << run.err;

  // A type 2 range refused at its boundary: nothing came, nothing is put beside the old file.
  fs::remove(partial);
  run = Bfk({"copy", "-o", out, "--range", "0-1", "--camera", std::string("sim:type=2,") + kFixed});
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(ReadText(out), old);
  EXPECT_FALSE(fs::exists(partial));
  EXPECT_NE(run.out.find("no file written\nleft as it was: " + out + " (nothing received)\n"),
            std::string::npos)
      << run.out;
}

TEST_F(BfkCopy, ASecondCtrlCStopsAtOnceOnASlowLink) {
  const std::string out = File("slow.bfk");
  const std::string old = "an earlier complete copy";
  std::ofstream(out) << old;
  // 2 kB/s: the first chunk of 512 KiB would take over four minutes.
  const pid_t pid =
      Start({"copy", "-o", out, "--camera", "sim:type=1,frames=200,damaged=0,speed=2000"});
  // Every wait below is only a guard against a hang.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const auto waitFor = [&](const std::function<bool()>& done) {
    for (;;) {
      if (done()) return true;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::yield();
    }
  };
  // The copy's file is open beside the chosen one once the chunks are asked for.
  ASSERT_TRUE(waitFor([&] {
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().filename().string().find(".slow.bfk.") == 0) return true;
    }
    return false;
  }));
  kill(pid, SIGINT);
  // Said at once, not after the chunk under way.
  ASSERT_TRUE(waitFor([&] {
    return ReadText(dir_ / "stderr").find("Ctrl-C again") != std::string::npos;
  })) << ReadText(dir_ / "stderr");
  kill(pid, SIGINT);
  int status = 0;
  const bool ended = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; });
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(ended) << "the second Ctrl-C did not end the copy";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string report = ReadText(dir_ / "stdout");
  const std::string err = ReadText(dir_ / "stderr");
  EXPECT_NE(report.find("outcome: cancelled\n"), std::string::npos) << report;
  EXPECT_NE(report.find("chunks: 0\n"), std::string::npos) << report;
  EXPECT_NE(report.find("left as it was: " + out + " (nothing received)"), std::string::npos)
      << report;
  EXPECT_NE(err.find("stopping now"), std::string::npos) << err;
  EXPECT_EQ(ReadText(out), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3)
      << "slow.bfk, stdout and stderr only";
}

TEST_F(BfkCopy, TheTraceRecordsTheCopysDeviceCalls) {
  const std::string out = File("traced.bfk");
  const std::string trace = File("trace.jsonl");
  const Run run = Bfk({"copy", "-o", out, "--camera", std::string("sim:type=1,") + kFixed},
                      {"BRINDLEFLASH_TRACE=" + trace});
  EXPECT_EQ(run.status, 0) << run.err;
  std::ifstream in(trace);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_GE(lines.size(), 8u);
  EXPECT_NE(lines.front().find("\"op\": \"open\""), std::string::npos) << lines.front();
  EXPECT_NE(lines.back().find("\"op\": \"close\""), std::string::npos) << lines.back();
  // The camera type question, and the first flash chunk starting with a frame header.
  bool typeAsked = false;
  bool frameRead = false;
  for (const std::string& l : lines) {
    typeAsked = typeAsked || l.find("\"bytes\": \"15\"") != std::string::npos;
    frameRead = frameRead || l.find("\"head\": \"fffe4a504547") != std::string::npos;
  }
  EXPECT_TRUE(typeAsked);
  EXPECT_TRUE(frameRead);

  const Run bad =
      Bfk({"copy", "-o", File("untraced.bfk"), "--camera", std::string("sim:type=1,") + kFixed},
          {"BRINDLEFLASH_TRACE=" + File("no/such/dir/t.jsonl")});
  EXPECT_EQ(bad.status, 0) << "an unwritable trace does not stop the copy";
  EXPECT_NE(bad.err.find("without a link trace"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace bf
