#include "review/TimeWindow.h"

#include <algorithm>
#include <cmath>

namespace bf {

TimeWindow ClampWindow(TimeWindow window, TimeWindow bounds, double minLength) {
  const double boundsLength = std::max(0.0, bounds.Length());
  double length = window.Length();
  if (!std::isfinite(length)) length = boundsLength;
  length = std::clamp(length, std::min(minLength, boundsLength), boundsLength);
  double start = std::isfinite(window.start) ? window.start : bounds.start;
  start = std::clamp(start, bounds.start, bounds.start + boundsLength - length);
  // The last window of a file ends exactly at its end, whatever rounding the sum brings.
  const double end = start + length > bounds.end ? bounds.end : start + length;
  return {start, end};
}

TimeWindow ZoomAround(TimeWindow window, double point, double factor, TimeWindow bounds,
                      double minLength) {
  if (!(factor > 0) || !std::isfinite(factor) || !(window.Length() > 0)) {
    return ClampWindow(window, bounds, minLength);
  }
  point = std::clamp(point, window.start, window.end);
  const double share = (point - window.start) / window.Length();
  const double boundsLength = std::max(0.0, bounds.Length());
  const double length =
      std::clamp(window.Length() / factor, std::min(minLength, boundsLength), boundsLength);
  const double start = point - share * length;
  return ClampWindow({start, start + length}, bounds, minLength);
}

TimeWindow Pan(TimeWindow window, double seconds, TimeWindow bounds, double minLength) {
  if (!std::isfinite(seconds)) return ClampWindow(window, bounds, minLength);
  return ClampWindow({window.start + seconds, window.end + seconds}, bounds, minLength);
}

}  // namespace bf
