// The README's bfk examples, run exactly as written from a copy of the repository's layout.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/BfkRun.h"
#include "recordings/RecordingFixture.h"

namespace bf {
namespace {

namespace fs = std::filesystem;

// The command lines of the first sh block after the bfk heading, comments dropped.
std::vector<std::string> ReadmeBfkExamples() {
  std::ifstream readme(std::string(BF_SOURCE_DIR) + "/README.md");
  std::vector<std::string> lines;
  std::string line;
  bool inSection = false;
  bool inBlock = false;
  while (std::getline(readme, line)) {
    if (line.rfind("## ", 0) == 0) inSection = line.find("`bfk`") != std::string::npos;
    if (!inSection) continue;
    if (line.rfind("```", 0) == 0) {
      if (inBlock) break;
      inBlock = true;
      continue;
    }
    if (!inBlock) continue;
    const std::size_t hash = line.find(" #");
    std::string command = line.substr(0, hash);
    while (!command.empty() && command.back() == ' ') command.pop_back();
    if (!command.empty()) lines.push_back(command);
  }
  return lines;
}

// A folder laid out as the repository root after the build: build/ is the real build tree.
struct RepositoryRoot {
  RepositoryRoot() {
    const fs::path build = fs::path(BF_HEADERS_DAT).parent_path();
    fs::create_directory_symlink(build, dir.Path() / "build");
  }
  test::ShellRun Run(const std::string& command) const {
    return test::Shell("cd " + test::Quoted(dir.Path().string()) + " && " + command + " 2>&1");
  }
  test::TempDir dir;
};

TEST(ReadmeExamples, RunAsWrittenFromTheRepositoryRoot) {
  const std::vector<std::string> examples = ReadmeBfkExamples();
  ASSERT_GE(examples.size(), 5u);
  RepositoryRoot root;
  for (const std::string& command : examples) {
    const test::ShellRun run = root.Run(command);
    EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.output;
  }
  const std::vector<uint8_t> still = test::ReadAll(root.dir.File("still.jpg"));
  ASSERT_GT(still.size(), 2u);
  EXPECT_EQ(still[0], 0xFF);
  EXPECT_EQ(still[1], 0xD8);
  EXPECT_EQ(fs::file_size(root.dir.File("headers.dat")), 6930u);
}

TEST(ReadmeExamples, TheExportFindsTheTableNextToBfkWithoutTheHeadersStep) {
  RepositoryRoot root;
  bool exported = false;
  for (const std::string& command : ReadmeBfkExamples()) {
    if (command.find(" headers ") != std::string::npos) continue;
    const test::ShellRun run = root.Run(command);
    EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.output;
    exported = exported || command.find(" export ") != std::string::npos;
  }
  EXPECT_TRUE(exported);
  EXPECT_FALSE(fs::exists(root.dir.File("headers.dat")));
  EXPECT_TRUE(fs::exists(root.dir.File("still.jpg")));
}

}  // namespace
}  // namespace bf
