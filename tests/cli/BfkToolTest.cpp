// bfk as its user meets it: version, help for every command, usage errors, exit codes.

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/RunProgram.h"
#include "support/TempFolder.h"

namespace {

struct BfkRun {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

BfkRun Bfk(const std::string& args, const std::string& env = "") {
  static int serial = 0;
  const std::string errFile =
      (std::filesystem::temp_directory_path() /
       ("bfk-err-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
          .string();
  const std::string command =
      env + " " + std::string(BF_BFK_PATH) + " " + args + " 2>'" + errFile + "'";
  const bf::test::ProgramRun shell = bf::test::RunShell(command);
  BfkRun run;
  run.exitCode = shell.exitCode;
  run.out = shell.output;
  if (std::FILE* f = std::fopen(errFile.c_str(), "r")) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) run.err.append(buffer, n);
    std::fclose(f);
  }
  std::filesystem::remove(errFile);
  return run;
}

std::vector<std::string> CommandNames() {
  const BfkRun overview = Bfk("help");
  std::vector<std::string> names;
  const std::string marker = "\n  ";
  for (std::size_t at = overview.out.find(marker); at != std::string::npos;
       at = overview.out.find(marker, at + 1)) {
    const std::size_t start = at + marker.size();
    if (overview.out[start] == ' ') continue;  // a continuation line
    names.push_back(overview.out.substr(start, overview.out.find_first_of(" \n", start) - start));
  }
  return names;
}

struct UsageCase {
  const char* args;
  const char* says;  // the first line of standard error
};

// Each case exits with 2, starts standard error with what it says and shows a usage.
void ExpectUsageErrors(std::initializer_list<UsageCase> cases) {
  for (const UsageCase& c : cases) {
    SCOPED_TRACE(c.args);
    const BfkRun run = Bfk(c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind(std::string(c.says) + "\n", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("usage: bfk "), std::string::npos) << run.err;
  }
}

TEST(BfkTool, SaysItsVersion) {
  const BfkRun run = Bfk("--version");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "bfk 1.1.3.183\n");
}

TEST(BfkTool, EveryCommandExplainsItselfBothWays) {
  const std::vector<std::string> names = CommandNames();
  for (const char* expected : {"export", "frames", "headers", "info", "sample", "video"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const BfkRun help = Bfk("help " + name);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: bfk " + name, 0), 0u) << help.out;
    const BfkRun flag = Bfk(name + " --help");
    EXPECT_EQ(flag.exitCode, 0);
    EXPECT_EQ(flag.out, help.out);
  }
  const BfkRun unknown = Bfk("help nonsense");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown command 'nonsense'"), std::string::npos);
  EXPECT_EQ(Bfk("").exitCode, 2);
}

TEST(BfkTool, UsageErrorsSayWhatWasWrongAndExitWithTwo) {
  ExpectUsageErrors({
      {"video r.bfk -o out.mkv --from abc",
       "bfk video: --from: 'abc' is neither a frame number nor a time (\"YYYY-MM-DD HH:MM:SS\" "
       "local or \"YYYY-MM-DDTHH:MM:SSZ\" UTC)"},
      {"export r.bfk --frame 4294967296 -o x.jpg",
       "bfk export: --frame: '4294967296' is out of range; the allowed range is 0 to 4294967295"},
      {"video r.bfk -o out.mkv --to 99999999999",
       "bfk video: --to: '99999999999' is out of range; the allowed range is 0 to 4294967295"},
      {"video r.bfk -o out.mkv --to", "bfk video: --to needs a value"},
      {"video r.bfk -o out.mov", "bfk video: -o: 'out.mov' does not end in .mkv, .avi or .mp4"},
      {"video r.bfk -o out.mkv --pace fast",
       "bfk video: --pace: 'fast' is neither 'recorded' nor a rate of 1..1000"},
      {"video r.bfk -o out.mkv --rotate 45", "bfk video: --rotate: 45 is not 0, 90, 180 or 270"},
      {"video -o out.mkv", "bfk video: no recording FILE given"},
      {"frames r.bfk", "bfk frames: no folder given (-d DIR)"},
      {"frames r.bfk -d out --bogus", "bfk frames: unexpected argument '--bogus'"},
  });
}

// Every command words a stray option and a left-out value alike, names itself and shows its
// usage, and exits with 2 before it opens a camera or a file.
TEST(BfkTool, EveryCommandRefusesStrayOptionsAndMissingValuesAlike) {
  for (const std::string& name : CommandNames()) {
    SCOPED_TRACE(name);
    const BfkRun stray = Bfk(name + " --bogus");
    EXPECT_EQ(stray.exitCode, 2);
    EXPECT_EQ(stray.err.rfind("bfk " + name + ": unexpected argument '--bogus'\n", 0), 0u)
        << stray.err;
    EXPECT_NE(stray.err.find("\nusage: bfk " + name), std::string::npos) << stray.err;
  }
  ExpectUsageErrors({
      {"headers --size", "bfk headers: --size needs a value"},
      {"sample -o", "bfk sample: -o needs a value"},
      {"cut r.bfk --from 1 --to 2 -o", "bfk cut: -o needs a value"},
      {"export r.bfk --frame", "bfk export: --frame needs a value"},
      {"copy -o x.bfk --range", "bfk copy: --range needs a value"},
      {"clock --camera", "bfk clock: --camera needs a backend, e.g. --camera sim"},
      {"erase --camera=", "bfk erase: --camera needs a backend, e.g. --camera sim"},
      {"info", "bfk info: missing the recording FILE"},
      {"info a.bfk b.bfk", "bfk info: unexpected argument 'b.bfk'"},
  });
}

// Options take their value also as --name=value, and the last of a repeated option counts.
TEST(BfkTool, OptionsTakeTheirValueJoinedAndTheLastOneCounts) {
  const bf::test::TempFolder folder;
  const std::string dir = folder.Path().string();
  const BfkRun sample = Bfk("sample --frames=5 --frames 3 -o '" + dir + "/s.bfk' --recordings=1");
  EXPECT_EQ(sample.exitCode, 0) << sample.err;
  const BfkRun info = Bfk("info '" + dir + "/s.bfk'");
  EXPECT_NE(info.out.find("frames: 3\n"), std::string::npos) << info.out;
}

// The libraries the dynamic loader brought in while bfk ran these arguments, as it reports them.
std::string LoadedLibraries(const std::string& args) {
  return Bfk(args, "LD_DEBUG=libs").err;
}

TEST(BfkTool, OnlyTheVideoCommandLoadsTheVideoLibraries) {
  const bf::test::TempFolder folder;
  const std::filesystem::path& dir = folder.Path();
  const std::string rec = (dir / "s.bfk").string();
  ASSERT_EQ(Bfk("sample -o " + rec + " --frames 3 --recordings 1").exitCode, 0);
  for (const std::string& args : std::vector<std::string>{"--version", "help", "info " + rec}) {
    SCOPED_TRACE(args);
    const std::string loaded = LoadedLibraries(args);
    EXPECT_NE(loaded.find("libc.so"), std::string::npos) << "no loader report";
    EXPECT_EQ(loaded.find("libavcodec"), std::string::npos);
    EXPECT_EQ(loaded.find("libavformat"), std::string::npos);
  }
#ifdef BF_BFK_VIDEO
  EXPECT_NE(LoadedLibraries("video " + rec + " -o " + (dir / "v.mkv").string()).find("libavcodec"),
            std::string::npos);
#endif
}

TEST(BfkTool, VideoAndFramesFromASampleRecording) {
  const bf::test::TempFolder folder;
  const std::filesystem::path& dir = folder.Path();
  const std::string rec = (dir / "s.bfk").string();
  ASSERT_EQ(Bfk("sample -o " + rec + " --frames 6 --recordings 1").exitCode, 0);

  // No settings file: the default 10 frames a second. A settings file of the window's: its rate.
  const std::string noSettings = "XDG_CONFIG_HOME=" + (dir / "none").string();
  BfkRun run = Bfk("video " + rec + " -o " + (dir / "v.mkv").string(), noSettings);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "6 frames written to " + (dir / "v.mkv").string() + ", 0 skipped\n");
  std::filesystem::create_directories(dir / "cfg/Kelvane");
  {
    std::FILE* f = std::fopen((dir / "cfg/Kelvane/BrindleFlash 1.1.3.conf").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("[Settings]\nPlayer%20fps=2\n", f);
    std::fclose(f);
  }
  const std::string settings = "XDG_CONFIG_HOME=" + (dir / "cfg").string();
  const std::string probe =
      "ffprobe -v error -show_entries format=duration -of csv=p=0 " + (dir / "v.mkv").string();
  run = Bfk("video " + rec + " -o " + (dir / "v.mkv").string(), settings);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::FILE* p = ::popen(probe.c_str(), "r");
  char text[64] = {};
  ASSERT_NE(std::fgets(text, sizeof text, p), nullptr);
  ::pclose(p);
  EXPECT_NEAR(std::stod(text), 3.0, 0.001);  // 6 frames at 2 a second

  // Matroska to standard output, the summary to standard error.
  run = Bfk("video " + rec + " -o - --pace 5");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 4), std::string("\x1A\x45\xDF\xA3", 4));  // EBML magic
  EXPECT_EQ(run.err, "6 frames written to -, 0 skipped\n");

  // The recording itself as output is refused; a missing recording is a failure (1).
  EXPECT_EQ(Bfk("video " + rec + " -o " + rec).exitCode, 2);  // .bfk is no video type
  EXPECT_EQ(Bfk("video " + (dir / "missing.bfk").string() + " -o x.mkv").exitCode, 1);

  run = Bfk("frames " + rec + " -d " + (dir / "stills").string() + " --from 4");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "2 frames written to " + (dir / "stills").string() + ", 0 skipped\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "stills"), {}), 2);
}

}  // namespace
