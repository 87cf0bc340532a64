#pragma once
// Puts the process in a fixed time zone for one test and restores the previous one afterwards,
// so that local-time results do not depend on the machine that runs the tests.
#include <ctime>
#include <optional>
#include <string>

#include "support/Environment.h"

namespace bf::test {

class TimeZoneGuard {
 public:
  // zone: a tz database name such as "Europe/Moscow" (POSIX C libraries only), or a POSIX zone
  // string such as "MSK-3" or "CET-1CEST", which the Windows C runtime reads as well.
  explicit TimeZoneGuard(const char* zone) : tz_("TZ", std::string(zone)) { Reload(); }
  ~TimeZoneGuard() { Reload(); }
  TimeZoneGuard(const TimeZoneGuard&) = delete;
  TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

 private:
  static void Reload() {
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
  }
  ScopedEnvironment tz_;
};

}  // namespace bf::test
