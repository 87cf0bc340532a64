#pragma once
#include <string>
#include <vector>

#include "review/TimeWindow.h"

namespace bf {

// A labelled mark on the timeline's axis, at a round moment of local time.
struct AxisTick {
  double time = 0;  // camera time, seconds since 1970 UTC
  std::string label;
  friend bool operator==(const AxisTick&, const AxisTick&) = default;
};

// The step between ticks, in seconds, for a window drawn `pixels` wide: the smallest of the
// round steps (1, 2, 5, 10, 15, 30 seconds, the same in minutes, 1, 2, 3, 6, 12 hours, days)
// that keeps ticks at least minSpacing pixels apart.
double TickStep(TimeWindow window, double pixels, double minSpacing);

// The ticks inside the window, at multiples of that step in local time (days start at local
// midnight). Labels name what the step resolves: "HH:MM:SS" below a minute, "HH:MM" below a
// day, "DD.MM.YY" for days; a tick at local midnight is labelled with its date, and below a day
// the first tick is prefixed with its date ("DD.MM.YY HH:MM"). Pure apart from
// the time zone it reads; any thread.
std::vector<AxisTick> AxisTicks(TimeWindow window, double pixels, double minSpacing = 90.0);

}  // namespace bf
