#pragma once
// Puts the process in a fixed time zone for one test and restores the previous one afterwards,
// so that local-time results do not depend on the machine that runs the tests.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace bf::test {

class TimeZoneGuard {
 public:
  // zone: a tz database name such as "Europe/Moscow", or "UTC".
  explicit TimeZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZoneGuard() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  TimeZoneGuard(const TimeZoneGuard&) = delete;
  TimeZoneGuard& operator=(const TimeZoneGuard&) = delete;

 private:
  std::optional<std::string> previous_;
};

}  // namespace bf::test
