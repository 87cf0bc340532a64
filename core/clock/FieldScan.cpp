#include "clock/FieldScan.h"

#include <algorithm>

namespace bf {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<uint32_t> ScanUnsignedField(std::string_view text) {
  text = text.substr(0, std::min(text.size(), kFieldTextLimit));
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  constexpr uint64_t kLimit = uint64_t{1} << 32;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(kLimit, magnitude * 10 + static_cast<uint64_t>(text[i] - '0'));
  }
  if (!negative) return static_cast<uint32_t>(std::min(magnitude, kLimit - 1));
  if (magnitude == 0) return 0u;
  // Two's complement wrap, kept at 2^31 or more so that it stays "large".
  constexpr uint64_t kHalf = uint64_t{1} << 31;
  return static_cast<uint32_t>(kLimit - std::min(magnitude, kHalf));
}

}  // namespace bf
