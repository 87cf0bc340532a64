// bfk verify compares a copy with the flash again; bfk copy --resume goes on with a copy that
// broke off. Both refuse a camera whose flash is no longer the one the record describes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BfkRun.h"
#include "cli/MiniJson.h"

namespace bf::test {
namespace {

namespace fs = std::filesystem;

class BfkVerifyResume : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("bf_verify_" + std::to_string(::getpid()) + "_" + std::to_string(GetParam()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  int Type() const { return GetParam(); }
  std::string Camera(const std::string& more = "") const {
    return Quoted("sim:type=" + std::to_string(Type()) +
                  ",frames=200,damaged=0,speed=0,clock=1245067200" + more);
  }
  std::string Range() const { return Type() == 2 ? " --range 0-0" : ""; }

  fs::path dir_;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_P(BfkVerifyResume, VerifyMatchesThenNamesTheStretchThatDiffersAndRefusesAMovedPointer) {
  const std::string out = File("copy.bfk");
  ASSERT_EQ(Shell(Bfk() + " copy -o " + Quoted(out) + Range() + " --camera " + Camera() +
                  " >/dev/null 2>&1")
                .exitCode,
            0);
  ShellRun run = Shell(Bfk() + " verify " + Quoted(out) + " --camera " + Camera() + " 2>&1");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const std::string size = std::to_string(fs::file_size(out));
  EXPECT_NE(run.output.find("file: " + out + "\n  compared: " + size + " bytes of " + size +
                            "\n  matches: yes\n"),
            std::string::npos)
      << run.output;

  {
    std::fstream f(out, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(70'000);
    f.put('\x5A');
    ASSERT_TRUE(f.flush());
  }
  run = Shell(Bfk() + " verify " + Quoted(out) + " --camera " + Camera() + " 2>&1");
  EXPECT_EQ(run.exitCode, 3) << run.output;
  EXPECT_NE(run.output.find("  differs: at offset 70000, 1 bytes\n  matches: no\n"),
            std::string::npos)
      << run.output;

  // Fewer frames recorded: another write pointer.
  run = Shell(Bfk() + " verify " + Quoted(out) + " --camera " +
              Quoted("sim:type=" + std::to_string(Type()) +
                     ",frames=150,damaged=0,speed=0,clock=1245067200") +
              " 2>&1");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("bfk verify: Копию нельзя проверить: флеш-память камеры изменилась "
                            "после копирования (указатель записи "),
            std::string::npos)
      << run.output;
}

TEST_P(BfkVerifyResume, ResumeAfterALinkFailureGivesTheUnbrokenCopy) {
  const std::string clean = File("clean.bfk");
  ASSERT_EQ(Shell(Bfk() + " copy -o " + Quoted(clean) + Range() + " --camera " + Camera() +
                  " >/dev/null 2>&1")
                .exitCode,
            0);
  // The link fails after the first whole chunks (type 0: two, the others: one).
  const int failCall[] = {28, 20, 28};
  const std::string out = File("broken.bfk");
  ShellRun run = Shell(Bfk() + " copy -o " + Quoted(out) + Range() + " --camera " +
                       Camera(",fault=fail:" + std::to_string(failCall[Type()])) + " 2>&1");
  ASSERT_EQ(run.exitCode, 1) << run.output;
  const uint64_t kept = fs::file_size(out);
  ASSERT_GT(kept, 0u);
  ASSERT_LT(kept, fs::file_size(clean));

  // Resumed on a camera that recorded on since: refused, the file left as it was.
  run = Shell(Bfk() + " copy --resume -o " + Quoted(out) + " --camera " +
              Quoted("sim:type=" + std::to_string(Type()) +
                     ",frames=210,damaged=0,speed=0,clock=1245067200") +
              " 2>&1");
  EXPECT_EQ(run.exitCode, 1) << run.output;
  EXPECT_NE(run.output.find("Копирование нельзя продолжить"), std::string::npos) << run.output;
  EXPECT_EQ(fs::file_size(out), kept);

  run = Shell(Bfk() + " copy --resume -o " + Quoted(out) + " --camera " + Camera() + " 2>&1");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(
      run.output.find("  resumed: " + std::to_string(kept) + " bytes taken from " + out + "\n"),
      std::string::npos)
      << run.output;
  EXPECT_TRUE(ReadText(out) == ReadText(clean)) << "byte for byte the unbroken copy";
  const auto record = Json::Parse(ReadText(out + ".json"));
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ((*record)["outcome"].text, "complete");
  EXPECT_EQ((*record)["files"][0]["sha256"].text,
            Shell("sha256sum " + Quoted(out)).output.substr(0, 64));
  EXPECT_EQ(Shell(Bfk() + " info --check " + Quoted(out) + " >/dev/null 2>&1").exitCode, 0);

  // Complete now: nothing more to resume.
  run = Shell(Bfk() + " copy --resume -o " + Quoted(out) + " --camera " + Camera() + " 2>&1");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("bfk copy: cannot resume: nothing to resume: the copy in " + out +
                            " is complete"),
            std::string::npos)
      << run.output;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, BfkVerifyResume, ::testing::Values(0, 1, 2));

}  // namespace
}  // namespace bf::test
