#include <cstdio>

#include "flash/CopySession.h"

namespace bf {

std::string FormatDuration(uint32_t seconds) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u:%02u", (seconds / 60) % 60, seconds % 60);
  return text;
}

bool UpdateProgress(CopyClock clock, uint32_t& elapsedMs, uint32_t doneBytes, uint32_t totalBytes,
                    CopyDisplay& display) {
  if (clock == CopyClock::TickSeconds) {
    elapsedMs += kCopyTickPeriodMs;
  } else if (elapsedMs < 1000) {
    return false;
  }
  const uint32_t seconds = elapsedMs / 1000;  // at least 1 here
  const uint32_t speed = (doneBytes / 1024) / seconds;
  display.doneBytes = doneBytes;
  display.totalBytes = totalBytes;
  display.elapsedSeconds = seconds;
  display.speedKiBPerSecond = speed;
  display.speed = std::to_string(static_cast<int32_t>(speed));
  // An empty range has nothing to show progress on.
  if (totalBytes != 0) {
    const double fraction = static_cast<double>(doneBytes) / static_cast<double>(totalBytes);
    display.position = static_cast<int>(fraction >= 1.0 ? 1000.0 : fraction * 1000.0);
  }
  display.elapsed = FormatDuration(seconds);
  if (speed != 0) {
    const uint32_t left = totalBytes > doneBytes ? totalBytes - doneBytes : 0;
    display.remainingSeconds = (left / 1024) / speed;
    display.remaining = FormatDuration(display.remainingSeconds);
  }
  return true;
}

}  // namespace bf
