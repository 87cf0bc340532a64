#include "link/FtdiSelection.h"

#include <limits>

namespace bf {

std::string FtdiSelection::Describe() const {
  return BySerial() ? "serial " + serial : "index " + std::to_string(index);
}

std::optional<FtdiSelection> ParseFtdiSelection(const std::string& options, std::string* error) {
  const auto refuse = [&](const std::string& why) -> std::optional<FtdiSelection> {
    if (error != nullptr) {
      *error = "ftdi:" + options + ": " + why +
               " (expected ftdi, ftdi:N with N the 0-based device index, or ftdi:serial=SERIAL)";
    }
    return std::nullopt;
  };
  FtdiSelection selection;
  if (options.empty()) return selection;
  constexpr const char* kSerialKey = "serial=";
  if (options.rfind(kSerialKey, 0) == 0) {
    selection.serial = options.substr(std::char_traits<char>::length(kSerialKey));
    if (selection.serial.empty()) return refuse("the serial number is empty");
    return selection;
  }
  uint64_t value = 0;
  for (const char c : options) {
    if (c < '0' || c > '9') return refuse("not a device index");
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > std::numeric_limits<uint32_t>::max()) return refuse("device index too large");
  }
  selection.index = static_cast<uint32_t>(value);
  return selection;
}

}  // namespace bf
