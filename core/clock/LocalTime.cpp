#include "clock/LocalTime.h"

#include <cstdio>
#include <ctime>

namespace bf {
namespace {

LocalDateTime FromTm(const std::tm& tm) {
  LocalDateTime t;
  t.date = CalendarDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.daylightSaving = tm.tm_isdst > 0;
#ifdef _WIN32
  t.zoneAbbreviation = tm.tm_isdst > 0 ? _tzname[1] : _tzname[0];
#else
  if (tm.tm_zone != nullptr) t.zoneAbbreviation = tm.tm_zone;
#endif
  return t;
}

std::tm ToTm(const CalendarDate& date, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = date.year - 1900;
  tm.tm_mon = date.month - 1;
  tm.tm_mday = date.day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return tm;
}

bool InRange(UtcSeconds t) {
  return t >= kLocalTimeMin && t <= kLocalTimeMax;
}

}  // namespace

std::optional<LocalDateTime> ToLocalTime(UtcSeconds t) {
  if (!InRange(t)) return std::nullopt;
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm tm{};
#ifdef _WIN32
  _tzset();
  if (localtime_s(&tm, &value) != 0) return std::nullopt;
#else
  // localtime_r need not look at TZ again; the zone may have changed since the last call.
  tzset();
  if (localtime_r(&value, &tm) == nullptr) return std::nullopt;
#endif
  return FromTm(tm);
}

std::optional<LocalDateTime> ToUtcTime(UtcSeconds t) {
  if (!InRange(t)) return std::nullopt;
  const std::time_t value = static_cast<std::time_t>(t);
  std::tm tm{};
#ifdef _WIN32
  if (gmtime_s(&tm, &value) != 0) return std::nullopt;
#else
  if (gmtime_r(&value, &tm) == nullptr) return std::nullopt;
#endif
  LocalDateTime result = FromTm(tm);
  result.zoneAbbreviation = "UTC";
  return result;
}

std::optional<UtcSeconds> FromLocalTime(const CalendarDate& date, int hour, int minute,
                                        int second) {
  if (date.year < 1900) return std::nullopt;
  std::tm tm = ToTm(date, hour, minute, second);
#ifdef _WIN32
  _tzset();
  const UtcSeconds t = _mktime64(&tm);
#else
  const UtcSeconds t = static_cast<UtcSeconds>(std::mktime(&tm));
#endif
  // -1 is also the failure value; it lies before 1970 and is refused with the rest of them.
  if (t < 0 || t > kLocalTimeMax) return std::nullopt;
  return t;
}

std::optional<UtcSeconds> FromUtcTime(const CalendarDate& date, int hour, int minute, int second) {
  std::tm tm = ToTm(date, hour, minute, second);
  tm.tm_isdst = 0;
#ifdef _WIN32
  const UtcSeconds t = _mkgmtime64(&tm);
#else
  const UtcSeconds t = static_cast<UtcSeconds>(timegm(&tm));
#endif
  if (t < 0 || t > kLocalTimeMax) return std::nullopt;
  return t;
}

UtcSeconds PcClockNow() {
  return static_cast<UtcSeconds>(std::time(nullptr));
}

std::string FormatDateTime(const LocalDateTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.date.year, t.date.month,
                t.date.day, t.hour, t.minute, t.second);
  return text;
}

}  // namespace bf
