// bfk headers: writes a "headers.dat" that matches the simulated camera's pictures.
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/CommandLine.h"
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

struct HeadersOptions {
  std::string output;
  std::string size;
};

void DeclareHeaders(bf::cli::CommandLine& line, HeadersOptions& o) {
  line.Value("-o", o.output);
  line.Value("--size", o.size);
}

int RunHeaders(const std::vector<std::string>& args) {
  HeadersOptions o;
  bf::cli::CommandLine line("headers");
  DeclareHeaders(line, o);
  bf::PictureSize size;
  if (line.Parse(args) && line.Given("--size")) {
    if (const auto parsed = ParseSize(o.size)) {
      size = *parsed;
    } else {
      line.Fail("bad picture size '" + o.size +
                "': expected WIDTHxHEIGHT, e.g. 320x240 or 640x480, each side 1.." +
                std::to_string(kMaxSide));
    }
  }
  if (!line.Failed() && o.output.empty()) line.Fail("missing -o FILE");
  if (line.Failed()) return line.Report();
  const std::string& output = o.output;
  std::vector<uint8_t> bytes;
  try {
    bytes = bf::GenerateHeaderTableBytes(size);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bfk headers: %s\n", e.what());
    return bf::cli::kExitFailure;
  }
  if (const uint32_t error = bf::WriteWholeFile(output, bytes)) {
    std::fprintf(stderr, "bfk headers: %s\n", bf::FileErrorText(error, output).c_str());
    return bf::cli::kExitFailure;
  }
  return bf::cli::kExitDone;
}

}  // namespace

BFK_COMMAND("headers", "headers -o FILE [--size WxH]   write headers.dat (default 320x240)",
            &RunHeaders);
