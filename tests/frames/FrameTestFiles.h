#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace bf::test {

using TempDir = TempFolder;

// Changes the working directory for a test and puts it back afterwards.
class ScopedWorkingDir {
 public:
  explicit ScopedWorkingDir(const std::filesystem::path& dir)
      : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedWorkingDir() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
  }
  ScopedWorkingDir(const ScopedWorkingDir&) = delete;
  ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

 private:
  std::filesystem::path saved_;
};

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A table file whose every byte tells its own offset, so that a misplaced entry shows.
inline uint8_t PatternByte(std::size_t offset) {
  return static_cast<uint8_t>((offset * 131 + offset / 251 + 7) % 256);
}
inline std::vector<uint8_t> PatternTableFile(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = PatternByte(i);
  return bytes;
}

// A picture with some detail and colour, so that encoded payloads are not trivial.
inline std::vector<uint8_t> TestPicture(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::size_t i = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      rgb[i++] = static_cast<uint8_t>(x * 255 / width);
      rgb[i++] = static_cast<uint8_t>(y * 255 / height);
      rgb[i++] = static_cast<uint8_t>(((x / 8 + y / 8) % 2) ? 200 : 40);
    }
  }
  return rgb;
}

}  // namespace bf::test
