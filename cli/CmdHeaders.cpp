// bfk headers: writes a "headers.dat" that matches the simulated camera's pictures.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "frames/HeaderGenerator.h"

namespace {

constexpr int kMaxSide = 8192;

std::optional<bf::PictureSize> ParseSize(const std::string& text) {
  const auto x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  bf::PictureSize size;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  auto w = std::from_chars(begin, begin + x, size.width);
  auto h = std::from_chars(begin + x + 1, end, size.height);
  if (w.ec != std::errc() || w.ptr != begin + x || h.ec != std::errc() || h.ptr != end) {
    return std::nullopt;
  }
  if (size.width < 1 || size.height < 1 || size.width > kMaxSide || size.height > kMaxSide) {
    return std::nullopt;
  }
  return size;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Writes next to the target and renames over it, so that a failed run never leaves a
// truncated headers.dat behind. Returns an error text, empty on success.
std::string WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::random_device random;
  const std::string temp = path + ".tmp" + std::to_string(random());
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(temp.c_str(), "wb"));
  if (!file) return "cannot create " + temp + ": " + std::strerror(errno);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  ok = std::fflush(file.get()) == 0 && ok;
  const int savedErrno = errno;
  ok = std::fclose(file.release()) == 0 && ok;
  std::error_code ec;
  if (!ok) {
    std::filesystem::remove(temp, ec);
    return "cannot write " + temp + ": " + std::strerror(savedErrno != 0 ? savedErrno : errno);
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return "cannot replace " + path + ": " + ec.message();
  }
  return {};
}

int RunHeaders(const std::vector<std::string>& args) {
  std::string output;
  bf::PictureSize size;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "-o" || arg == "--size") && i + 1 >= args.size()) {
      std::fprintf(stderr, "bfk headers: %s needs a value\n", arg.c_str());
      return 2;
    }
    if (arg == "-o") {
      output = args[++i];
    } else if (arg == "--size") {
      const auto parsed = ParseSize(args[++i]);
      if (!parsed) {
        std::fprintf(stderr,
                     "bfk headers: bad picture size '%s': expected WIDTHxHEIGHT, e.g. 320x240 "
                     "or 640x480, each side 1..%d\n",
                     args[i].c_str(), kMaxSide);
        return 2;
      }
      size = *parsed;
    } else {
      std::fprintf(stderr, "bfk headers: unknown argument '%s'\n", arg.c_str());
      return 2;
    }
  }
  if (output.empty()) {
    std::fprintf(stderr, "bfk headers: missing -o FILE\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  try {
    bytes = bf::GenerateHeaderTableBytes(size);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bfk headers: %s\n", e.what());
    return 1;
  }
  if (const std::string error = WriteFileReplacing(output, bytes); !error.empty()) {
    std::fprintf(stderr, "bfk headers: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

BFK_COMMAND("headers", "headers -o FILE [--size WxH]   write headers.dat (default 320x240)",
            &RunHeaders);
