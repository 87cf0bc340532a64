#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace bf {

// Which FTDI bridge the "ftdi" backend opens, from the text after "ftdi:": empty (the first
// bridge), a 0-based index N ("ftdi:1"), or a serial number ("ftdi:serial=FT1234AB").
struct FtdiSelection {
  uint32_t index = 0;
  std::string serial;  // when not empty, chooses the bridge instead of index

  bool BySerial() const { return !serial.empty(); }
  // "index 1" or "serial FT1234AB", for messages.
  std::string Describe() const;
};

// Parses the options; nullopt with *error saying why for anything else (a non-number, a
// negative or out-of-range index, an empty serial, an unknown key).
std::optional<FtdiSelection> ParseFtdiSelection(const std::string& options, std::string* error);

}  // namespace bf
