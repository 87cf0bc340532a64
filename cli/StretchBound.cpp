#include "cli/StretchBound.h"

#include <cctype>

namespace bf::cli {

namespace {

bool DigitsAt(const std::string& text, std::size_t from, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (i >= text.size() || std::isdigit(static_cast<unsigned char>(text[i])) == 0) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

std::optional<StretchBound> ParseStretchBound(const std::string& text, std::string& why) {
  if (!text.empty() && text.size() <= 19 &&
      text.find_first_not_of("0123456789") == std::string::npos) {
    StretchBound bound;
    bound.isFrame = true;
    for (char c : text) bound.frame = bound.frame * 10 + static_cast<uint64_t>(c - '0');
    return bound;
  }
  // "YYYY-MM-DD HH:MM:SS" local, or "YYYY-MM-DDTHH:MM:SSZ" universal time.
  const bool utc = text.size() == 20 && text[10] == 'T' && text[19] == 'Z';
  const bool local = text.size() == 19 && text[10] == ' ';
  CalendarDate date;
  int hour = 0, minute = 0, second = 0;
  if ((!utc && !local) || text[4] != '-' || text[7] != '-' || text[13] != ':' || text[16] != ':' ||
      !DigitsAt(text, 0, 4, date.year) || !DigitsAt(text, 5, 2, date.month) ||
      !DigitsAt(text, 8, 2, date.day) || !DigitsAt(text, 11, 2, hour) ||
      !DigitsAt(text, 14, 2, minute) || !DigitsAt(text, 17, 2, second)) {
    why = "'" + text +
          "' is neither a frame number nor a time (\"YYYY-MM-DD HH:MM:SS\" local or "
          "\"YYYY-MM-DDTHH:MM:SSZ\" UTC)";
    return std::nullopt;
  }
  const std::optional<UtcSeconds> t =
      utc ? FromUtcTime(date, hour, minute, second) : FromLocalTime(date, hour, minute, second);
  // The conversions carry an impossible reading over (31 June is 1 July, 02:30 on the night
  // the clocks go forward is 03:30): only a reading that comes back unchanged names a time.
  const std::optional<LocalDateTime> back =
      t ? (utc ? ToUtcTime(*t) : ToLocalTime(*t)) : std::nullopt;
  if (!back || back->date != date || back->hour != hour || back->minute != minute ||
      back->second != second) {
    why = "'" + text + "' is not a time that exists" + (utc ? "" : " in the local time zone");
    return std::nullopt;
  }
  StretchBound bound;
  bound.time = *t;
  return bound;
}

}  // namespace bf::cli
