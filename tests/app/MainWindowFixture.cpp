#include "MainWindowFixture.h"

#include <unistd.h>

#include "sim/FrameMaker.h"

namespace bf::test {

std::filesystem::path MainWindowTest::TempDir() {
  if (tempDir_.empty()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tempDir_ = std::filesystem::temp_directory_path() /
               ("bf-window-" + std::to_string(::getpid()) + "-" + info->name());
    std::filesystem::remove_all(tempDir_);
    std::filesystem::create_directories(tempDir_);
  }
  return tempDir_;
}

std::string MainWindowTest::WriteRecording(uint32_t frames, const std::string& name) {
  sim::FrameMaker maker(PictureSize{320, 240});
  const std::filesystem::path path = TempDir() / name;
  std::ofstream out(path, std::ios::binary);
  for (uint32_t i = 0; i < frames; ++i) {
    const std::vector<uint8_t> record =
        maker.MakeRecord(i, i * 1000, 1'245'067'200 + i, sim::FrameSettings{});
    out.write(reinterpret_cast<const char*>(record.data()),
              static_cast<std::streamsize>(record.size()));
  }
  EXPECT_TRUE(out.good());
  return path.string();
}

}  // namespace bf::test
