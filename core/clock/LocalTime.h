#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace bf {

// Seconds since 1970-01-01 00:00:00 UTC in the platform's signed 64-bit time form. The camera's
// unsigned 32-bit clock is widened into it without sign extension.
using UtcSeconds = int64_t;

// The range the platform's 64-bit local-time conversions accept: from twelve hours before 1970
// (so that 1970-01-01 00:00:00 UTC still converts in every zone) to the end of the year 3000.
inline constexpr UtcSeconds kLocalTimeMin = -43'200;
inline constexpr UtcSeconds kLocalTimeMax = 32'535'215'999;

struct CalendarDate {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

struct LocalDateTime {
  CalendarDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool daylightSaving = false;
  std::string zoneAbbreviation;  // "MSK", "CEST", ...
};

// The local time of t under the time zone in force now (TZ is re-read on every call), daylight
// saving included; nothing when t lies outside what the platform converts.
std::optional<LocalDateTime> ToLocalTime(UtcSeconds t);
std::optional<LocalDateTime> ToUtcTime(UtcSeconds t);

// The moment of a local wall-clock reading, with the daylight-saving state left for the runtime
// to determine. Nothing when the reading lies before 1970-01-01 00:00:00 UTC, after the end of
// the year 3000, or before 1900, which the platform's conversion refuses.
std::optional<UtcSeconds> FromLocalTime(const CalendarDate& date, int hour, int minute, int second);
// The same for a reading in universal time (no daylight saving; no 1900 limit needed).
std::optional<UtcSeconds> FromUtcTime(const CalendarDate& date, int hour, int minute, int second);

// The PC's clock now, in seconds since 1970 UTC.
UtcSeconds PcClockNow();

// "YYYY-MM-DD HH:MM:SS".
std::string FormatDateTime(const LocalDateTime& t);

}  // namespace bf
