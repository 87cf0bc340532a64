// bfk info and bfk export, run as the operator would.

#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

#include "RecordingFixture.h"
#include "support/RunProgram.h"

namespace bf {
namespace {

// `shellPrefix` runs first in the same shell (e.g. a ulimit for bfk).
test::ProgramRun Bfk(const std::string& args, const std::string& shellPrefix = "") {
  return test::RunCommandLine(shellPrefix + "\"" + BF_BFK_PATH + "\" " + args);
}

TEST(BfkRecordingCommands, InfoListsEveryIndexedFrame) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  test::AppendRecord(bytes, {.recordLength = 1000,
                             .timestamp = 1765000000,
                             .compression = 1,
                             .monochrome = 0,
                             .frameRateIndex = 7,
                             .flags = 1});
  test::AppendRecord(bytes, {.recordLength = 2000,
                             .timestamp = 1765000060,
                             .compression = 4,
                             .monochrome = 2,
                             .frameRateIndex = 0,
                             .flags = 0});
  bytes.insert(bytes.end(), 16, 0xFF);
  const std::string path = dir.Write("r.bfk", bytes);

  const test::ProgramRun json = Bfk("info --json " + path);
  EXPECT_EQ(json.exitCode, 0) << json.output;
  EXPECT_EQ(json.output,
            "{\"count\": 2, \"frames\": [{\"offset\": 0, \"length\": 984, \"timestamp\": "
            "1765000000, \"compression\": 1, \"monochrome\": 0, \"frameRateIndex\": 7, "
            "\"flags\": 1}, {\"offset\": 1000, \"length\": 1984, \"timestamp\": 1765000060, "
            "\"compression\": 4, \"monochrome\": 2, \"frameRateIndex\": 0, \"flags\": 0}]}\n");

  const test::ProgramRun text = Bfk("info " + path);
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.output.find("frames: 2"), std::string::npos) << text.output;
  EXPECT_NE(text.output.find("(60 s)"), std::string::npos) << text.output;
}

TEST(BfkRecordingCommands, ExportWritesTheSameStillAsTheWindow) {
  test::TempDir dir;
  std::vector<uint8_t> bytes;
  test::AppendPictureRecord(bytes, {.recordLength = 2016, .compression = 4, .monochrome = 1});
  test::AppendPictureRecord(bytes, {.recordLength = 5016, .compression = 1, .monochrome = 0});
  const std::string path = dir.Write("r.bfk", bytes);
  const std::string out = dir.File("f1.jpg");
  const test::ProgramRun run =
      Bfk("export " + path + " --frame 1 -o " + out + " --headers " BF_HEADERS_DAT);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const std::vector<uint8_t> still = test::ReadAll(out);
  ASSERT_EQ(still.size(), 5714u);
  EXPECT_EQ(std::vector<uint8_t>(still.end() - 16, still.end()),
            std::vector<uint8_t>(bytes.begin() + 2016, bytes.begin() + 2032));

  EXPECT_EQ(Bfk("export " + path + " --frame 2 -o " + out + " --headers " BF_HEADERS_DAT).exitCode,
            1);
  EXPECT_EQ(Bfk("export " + path + " --frame x -o " + out).exitCode, 2);
}

TEST(BfkRecordingCommands, NonRecordingsAreRefusedWithAReason) {
  test::TempDir dir;
  const std::vector<uint8_t> junk(600, 0x20);
  const std::string path = dir.Write("junk.bin", junk);
  const test::ProgramRun info = Bfk("info " + path);
  EXPECT_NE(info.exitCode, 0);
  EXPECT_NE(info.output.find("not a recording"), std::string::npos) << info.output;
  const test::ProgramRun missing = Bfk("info --json " + dir.File("none.bfk"));
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_NE(missing.output.find("cannot open"), std::string::npos) << missing.output;
  const test::ProgramRun exportRun =
      Bfk("export " + path + " --frame 0 -o " + dir.File("x.jpg") + " --headers " BF_HEADERS_DAT);
  EXPECT_NE(exportRun.exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.jpg")));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(_WIN32)
constexpr bool kSanitized = true;  // no ulimit on Windows either  // the sanitizers reserve far
                                   // more address space than any limit
#else
constexpr bool kSanitized = false;
#endif

TEST(BfkRecordingCommands, ExportOfAnEarlyFrameDoesNotIndexTheWholeRecording) {
  if (kSanitized) GTEST_SKIP() << "address-space limits do not apply under the sanitizers";
  // Two million header-only records: the whole index would need 48 MB and more while it
  // grows, far above the 30 MB the export gets here on top of what bfk needs to start at all
  // (its libraries alone take a good part of 200 MB of address space); frame 3 needs five
  // entries, which hold pictures.
  int baseKiB = 0;
  for (int kib = 50'000; kib <= 1'000'000 && baseKiB == 0; kib += 25'000) {
    const std::string probe = "ulimit -v " + std::to_string(kib) + " && exec ";
    if (Bfk("--version", probe).exitCode == 0) baseKiB = kib;
  }
  ASSERT_NE(baseKiB, 0) << "bfk does not start under any address-space limit";
  test::TempDir dir;
  std::vector<uint8_t> one;
  test::AppendRecord(one, {.recordLength = 16, .timestamp = 7});
  std::vector<uint8_t> bytes;
  bytes.reserve(one.size() * 2'000'000 + 5 * 2016);
  for (int i = 0; i < 5; ++i) test::AppendPictureRecord(bytes, {.recordLength = 2016});
  for (int i = 0; i < 2'000'000; ++i) bytes.insert(bytes.end(), one.begin(), one.end());
  const std::string path = dir.Write("many.bfk", bytes);
  const std::string out = dir.File("f3.jpg");
  const std::string limit = "ulimit -v " + std::to_string(baseKiB + 30'000) + " && exec ";
  const test::ProgramRun run =
      Bfk("export " + path + " --frame 3 -o " + out + " --headers " BF_HEADERS_DAT, limit);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::ReadAll(out).size(), 698u + 2000u + 16u);
  // The limit does bite: listing every frame needs the whole index.
  EXPECT_NE(Bfk("info " + path + " > /dev/null", limit).exitCode, 0);
}

}  // namespace
}  // namespace bf
