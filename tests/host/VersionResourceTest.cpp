// The version block: the generated header and the Windows resource carry the same values.
#include <sys/wait.h>

#include <cstdio>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "host/Version.h"

namespace bf {
namespace {

constexpr const char* kWindres = "x86_64-w64-mingw32-windres";

// Runs a shell command; its standard output, or nothing when it could not run or failed.
std::optional<std::string> Output(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

TEST(Version, TheHeaderCarriesTheProgramsVersionBlock) {
  EXPECT_STREQ(kVersionText, "1.1.3.183");
  EXPECT_EQ(std::to_string(kVersionNumbers[0]) + "." + std::to_string(kVersionNumbers[1]) + "." +
                std::to_string(kVersionNumbers[2]) + "." + std::to_string(kVersionNumbers[3]),
            kVersionText);
  EXPECT_STREQ(kFileDescription, "BrindleFlash");
  EXPECT_STREQ(kInternalName, "BrindleFlash02");
  EXPECT_STREQ(kOriginalFileName, "BrindleFlash02.EXE");
}

TEST(Version, TheWindowsResourceCompilesAndMatchesTheHeader) {
  if (!Output(std::string("command -v ") + kWindres)) {
    GTEST_SKIP() << kWindres << " is not installed (package binutils-mingw-w64-x86-64)";
  }
  const std::string rc = std::string(BF_SOURCE_DIR) + "/resources/BrindleFlash.rc";
  // Compiled, then written back as resource text: what a Windows build would carry.
  const std::optional<std::string> text =
      Output(std::string(kWindres) + " -i '" + rc + "' -O rc 2>&1");
  ASSERT_TRUE(text.has_value()) << "windres failed on " << rc;
  std::string numbers;
  for (unsigned n : kVersionNumbers) numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
  for (const std::string& expected :
       {"FILEVERSION " + numbers, "PRODUCTVERSION " + numbers,
        std::string("VALUE \"FileVersion\", \"") + kVersionText + "\"",
        std::string("VALUE \"ProductVersion\", \"") + kVersionText + "\"",
        std::string("VALUE \"FileDescription\", \"") + kFileDescription + "\"",
        std::string("VALUE \"InternalName\", \"") + kInternalName + "\"",
        std::string("VALUE \"OriginalFilename\", \"") + kOriginalFileName + "\""}) {
    EXPECT_NE(text->find(expected), std::string::npos) << expected << "\nin:\n" << *text;
  }
}

}  // namespace
}  // namespace bf
