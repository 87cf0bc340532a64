// The writer's commit under another name: for work that did not finish and must leave the file
// it was to replace as it was.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "host/ReplacingFileWriter.h"
#include "support/TempFolder.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

struct Folder : bf::test::TempFolder {
  Folder() : TempFolder("bf-commit-as") {}
  std::size_t Count() const { return Names().size(); }
};

std::string Text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t WriteText(ReplacingFileWriter& writer, const std::string& text) {
  return writer.Write({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

TEST(WriterCommitAs, TheTargetStaysAndTheBytesGoUnderTheOtherName) {
  Folder dir;
  const std::string target = dir.File("old.bfk");
  const std::string other = dir.File("old.partial.bfk");
  std::ofstream(target) << "earlier";
  std::ofstream(other) << "an older partial copy";
  ReplacingFileWriter writer;
  ASSERT_EQ(writer.Open(target), 0u);
  EXPECT_TRUE(writer.ReplacesExisting());
  ASSERT_EQ(WriteText(writer, "received"), 0u);
  ASSERT_EQ(writer.CommitAs(other), 0u);
  EXPECT_EQ(Text(target), "earlier");
  EXPECT_EQ(Text(other), "received");
  EXPECT_EQ(dir.Count(), 2u) << "no temporary left";
}

TEST(WriterCommitAs, ANewNameOrADeviceHasNothingToReplace) {
  Folder dir;
  ReplacingFileWriter fresh;
  ASSERT_EQ(fresh.Open(dir.File("new.bfk")), 0u);
  EXPECT_FALSE(fresh.ReplacesExisting());
  fresh.Abandon();
#ifndef _WIN32
  ReplacingFileWriter device;
  ASSERT_EQ(device.Open("/dev/null"), 0u);
  EXPECT_FALSE(device.ReplacesExisting());
  ASSERT_EQ(WriteText(device, "x"), 0u);
  EXPECT_EQ(device.CommitAs(dir.File("elsewhere")), 0u) << "written directly: a plain commit";
  EXPECT_FALSE(fs::exists(dir.File("elsewhere")));
#endif
  EXPECT_EQ(dir.Count(), 0u);
}

}  // namespace
}  // namespace bf
