// bfk headers: writes a "headers.dat" that matches the simulated camera's pictures.
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "frames/HeaderGenerator.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"

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
  if (const uint32_t error = bf::WriteWholeFile(output, bytes)) {
    std::fprintf(stderr, "bfk headers: %s\n", bf::FileErrorText(error, output).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

BFK_COMMAND("headers", "headers -o FILE [--size WxH]   write headers.dat (default 320x240)",
            &RunHeaders);
