#include "review/AxisTicks.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>

#include "clock/LocalTime.h"

namespace bf {
namespace {

constexpr double kDay = 86400.0;
constexpr std::array<double, 19> kSteps = {1,     2,     5,     10,   15,      30,   60,
                                           120,   300,   600,   900,  1800,    3600, 7200,
                                           10800, 21600, 43200, kDay, 7 * kDay};
constexpr std::size_t kMaxTicks = 1000;

// Local time minus UTC at t, in seconds (0 where the platform does not convert).
double ZoneOffset(double t) {
  const auto utc = static_cast<UtcSeconds>(std::floor(t));
  const std::optional<LocalDateTime> local = ToLocalTime(utc);
  if (!local) return 0;
  const std::optional<UtcSeconds> asUtc =
      FromUtcTime(local->date, local->hour, local->minute, local->second);
  return asUtc ? static_cast<double>(*asUtc - utc) : 0.0;
}

std::string Label(double t, double step) {
  const std::optional<LocalDateTime> local = ToLocalTime(static_cast<UtcSeconds>(std::llround(t)));
  if (!local) return {};
  char text[32];
  const bool midnight = local->hour == 0 && local->minute == 0 && local->second == 0;
  if (step >= kDay || midnight) {
    std::snprintf(text, sizeof text, "%02d.%02d.%02d", local->date.day, local->date.month,
                  local->date.year % 100);
  } else if (step >= 60) {
    std::snprintf(text, sizeof text, "%02d:%02d", local->hour, local->minute);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local->hour, local->minute, local->second);
  }
  return text;
}

}  // namespace

double TickStep(TimeWindow window, double pixels, double minSpacing) {
  if (!(window.Length() > 0) || !(pixels > 0)) return kSteps.back();
  for (double step : kSteps) {
    if (step * pixels / window.Length() >= minSpacing) return step;
  }
  // Longer than a week per tick: whole multiples of a week.
  return std::ceil(minSpacing * window.Length() / pixels / (7 * kDay)) * 7 * kDay;
}

std::vector<AxisTick> AxisTicks(TimeWindow window, double pixels, double minSpacing) {
  std::vector<AxisTick> ticks;
  if (!(window.Length() > 0) || !(pixels > 0)) return ticks;
  const double step = TickStep(window, pixels, minSpacing);
  const double offset = ZoneOffset(window.start);
  double local = std::ceil((window.start + offset) / step) * step;
  for (; local - offset < window.end && ticks.size() < kMaxTicks; local += step) {
    const double t = local - offset;
    ticks.push_back({t, Label(t, step)});
  }
  // Zoomed in to less than a day, the first tick also names its date, so that the times read
  // as a day's.
  if (step < kDay && !ticks.empty() && ticks.front().label.size() > 2 &&
      ticks.front().label[2] == ':') {
    ticks.front().label = Label(ticks.front().time, kDay) + " " + ticks.front().label;
  }
  return ticks;
}

}  // namespace bf
