#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frames/JpegHeaderTable.h"

namespace bf::cli {

// Prints "bfk COMMAND: message" and the command's usage to standard error; returns kExitUsage.
int UsageError(const std::string& command, const std::string& message);

// A whole-number option value (0 to 2^32 - 1); nothing after printing nothing, so the caller
// reports NotANumber(option, text): "--frame: 'abc' is not a number", or for digits beyond the
// largest value "--frame: '4294967296' is out of range; the allowed range is 0 to 4294967295".
std::optional<uint32_t> ParseUnsigned(const std::string& text);
std::string NotANumber(const std::string& option, const std::string& text);

// Loads headers.dat: the file given with --headers, else where the window looks (its
// "InstallPath" setting, the current directory, bfk's own folder, the installed data folder).
// On failure prints "bfk COMMAND: reason" and returns false.
bool LoadHeaderTable(const std::string& command, const std::string& given, JpegHeaderTable& out);
// The headers.dat LoadHeaderTable reads.
std::string HeaderTablePathFor(const std::string& given);
// "bfk COMMAND: 3 frames do not decode with PATH and were left out: 4, 7, 9" on standard
// error; nothing when `frames` is empty.
void ReportUndecodable(const std::string& command, const std::string& headersPath,
                       const std::vector<uint32_t>& frames);

// The window's "Player fps" setting (10 when unset), kept within 1..20 as Play does.
uint32_t PlayerFpsSetting();

}  // namespace bf::cli
