#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "support/TempFolder.h"

namespace bf::test {

// A fixture whose every test has a folder of its own (a TempFolder), made before the test and
// removed with everything in it afterwards.
class FolderTest : public ::testing::Test {
 protected:
  // PREFIX starts the folder's name, telling whose folder a left-over one was.
  explicit FolderTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    folder_.emplace(prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    dir_ = folder_->Path();
  }
  void TearDown() override { folder_.reset(); }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;

 private:
  std::string prefix_;
  std::optional<TempFolder> folder_;
};

// The whole of a file as bytes in a string (empty when it cannot be read).
inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace bf::test
