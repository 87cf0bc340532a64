#pragma once

namespace bf {

// A stretch of camera time [start, end) in seconds since 1970 UTC, as the camera's clock
// stamped the frames. Fractional, so that a window of a few seconds still divides into bins.
struct TimeWindow {
  double start = 0;
  double end = 0;
  double Length() const { return end - start; }
  friend bool operator==(const TimeWindow&, const TimeWindow&) = default;
};

// The functions below are pure: any thread.

// The narrowest window a zoom goes down to, in seconds.
inline constexpr double kMinWindowSeconds = 5.0;

// `window` moved and narrowed to fit inside `bounds`: no shorter than minLength (or than the
// bounds, when those are shorter), no longer than the bounds, moved back inside them.
TimeWindow ClampWindow(TimeWindow window, TimeWindow bounds, double minLength = kMinWindowSeconds);

// Zooms in (factor above 1) or out (below 1) around `point`, which keeps its place in the
// window (a point outside the window counts as its nearest edge); the result is clamped to
// `bounds`. A factor that is not a positive number leaves the window as it is (clamped).
TimeWindow ZoomAround(TimeWindow window, double point, double factor, TimeWindow bounds,
                      double minLength = kMinWindowSeconds);

// Moves the window by `seconds` (negative: back in time) without leaving `bounds`.
TimeWindow Pan(TimeWindow window, double seconds, TimeWindow bounds,
               double minLength = kMinWindowSeconds);

}  // namespace bf
