#include "cli/Args.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "cli/Command.h"
#include "cli/WindowSettings.h"
#include "frames/HeaderTableLocation.h"
#include "recordings/FrameDecodes.h"
#include "recordings/PlayerPanel.h"

namespace bf::cli {

int UsageError(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "bfk %s: %s\n", command.c_str(), message.c_str());
  for (const Command& c : CommandTable()) {
    if (c.name == command) std::fprintf(stderr, "usage: bfk %s\n", c.usage.c_str());
  }
  std::fprintf(stderr, "(bfk help %s tells more)\n", command.c_str());
  return kExitUsage;
}

std::optional<uint32_t> ParseUnsigned(const std::string& text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, value);
  if (text.empty() || r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return value;
}

std::string NotANumber(const std::string& option, const std::string& text) {
  // All digits, yet refused: too large for the 32-bit values every count and index here is.
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    return option + ": '" + text + "' is out of range; the allowed range is 0 to " +
           std::to_string(std::numeric_limits<uint32_t>::max());
  }
  return option + ": '" + text + "' is not a number";
}

std::string HeaderTablePathFor(const std::string& given) {
  std::string path = given;
  if (path.empty()) {
    const std::string folder =
        HeaderTableFolder(WindowInstallPath(), RunningProgramFolder(), [](const std::string& p) {
          std::error_code ec;
          return std::filesystem::is_regular_file(p, ec);
        });
    path = HeaderTablePath(folder);
  }
  return path;
}

void ReportUndecodable(const std::string& command, const std::string& headersPath,
                       const std::vector<uint32_t>& frames) {
  if (frames.empty()) return;
  std::fprintf(stderr, "bfk %s: %zu %s not decode with %s and %s left out: %s\n", command.c_str(),
               frames.size(), frames.size() == 1 ? "frame does" : "frames do", headersPath.c_str(),
               frames.size() == 1 ? "was" : "were", FrameListText(frames).c_str());
}

bool LoadHeaderTable(const std::string& command, const std::string& given, JpegHeaderTable& out) {
  const std::string path = HeaderTablePathFor(given);
  if (const TableLoadResult loaded = LoadJpegHeaderTableFromFile(path, out); !loaded) {
    std::fprintf(stderr, "bfk %s: %s\n", command.c_str(), loaded.error.c_str());
    return false;
  }
  return true;
}

uint32_t PlayerFpsSetting() {
  const int fps = WindowPlayerFps();
  return static_cast<uint32_t>(std::clamp(fps, kMinPlayerRate, kMaxPlayerRate));
}

}  // namespace bf::cli
