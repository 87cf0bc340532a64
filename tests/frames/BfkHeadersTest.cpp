#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FrameTestFiles.h"
#include "frames/HeaderGenerator.h"
#include "support/RunProgram.h"

namespace bf {
namespace {

using test::RunBfk;

TEST(BfkHeaders, WritesTheGeneratedTable) {
  test::TempDir dir;
  const std::string path = dir.File("headers.dat");
  test::WriteBytes(path, std::vector<uint8_t>(10, 1));  // replaced, not appended to
  auto run = RunBfk("headers -o \"" + path + "\"");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::ReadBytes(path), GenerateHeaderTableBytes({320, 240}));

  run = RunBfk("headers --size 640x480 -o \"" + path + "\"");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::ReadBytes(path), GenerateHeaderTableBytes({640, 480}));
  // Nothing but the table is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(BfkHeaders, TheBuildsTableIsTheDefaultOne) {
  EXPECT_EQ(test::ReadBytes(BF_HEADERS_DAT), GenerateHeaderTableBytes({320, 240}));
}

TEST(BfkHeaders, RefusesBadArguments) {
  test::TempDir dir;
  const std::string path = dir.File("headers.dat");
  for (const char* size :
       {"640", "640x", "x480", "0x480", "-1x480", "640x480x3", "64Ox480", "99999x480"}) {
    const auto run = RunBfk(std::string("headers --size ") + size + " -o \"" + path + "\"");
    EXPECT_EQ(run.exitCode, 2) << size;
    EXPECT_NE(run.output.find("size"), std::string::npos) << run.output;
  }
  EXPECT_EQ(RunBfk("headers").exitCode, 2);
  EXPECT_EQ(RunBfk("headers -o").exitCode, 2);
  EXPECT_EQ(RunBfk("headers --bogus -o \"" + path + "\"").exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(BfkHeaders, UnwritableTargetFailsAndLeavesNothing) {
  test::TempDir dir;
  const auto run = RunBfk("headers -o \"" + dir.File("missing/headers.dat") + "\"");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(run.output.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(BfkHeaders, HelpListsTheCommand) {
  const auto run = RunBfk("help");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.output.find("headers -o FILE [--size WxH]"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace bf
