#pragma once
#include <ctime>

namespace bf {

// Broken-down time of a moment, in UTC or in the platform's local time (with its daylight-saving
// rules). False when the platform cannot represent the moment. Thread-safe: no shared buffer.
inline bool UtcCalendarTime(std::time_t seconds, std::tm* out) {
#ifdef _WIN32
  return gmtime_s(out, &seconds) == 0;
#else
  return gmtime_r(&seconds, out) != nullptr;
#endif
}

inline bool LocalCalendarTime(std::time_t seconds, std::tm* out) {
#ifdef _WIN32
  return localtime_s(out, &seconds) == 0;
#else
  return localtime_r(&seconds, out) != nullptr;
#endif
}

}  // namespace bf
