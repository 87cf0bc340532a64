#pragma once
#include <cstdio>
#include <string>

namespace bf::cli {

// printf-style text for one short report line (times, counts, offsets, file names).
std::string FormatLine(const char* format, auto... values) {
  const int n = std::snprintf(nullptr, 0, format, values...);
  if (n <= 0) return {};
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, values...);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

}  // namespace bf::cli
