// bfk clock: reads the camera's clock and, with --set, sets it, through the same clock exchange
// as the window's "Установить время...".
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "cli/CameraLink.h"
#include "cli/Command.h"
#include "cli/TerminalPrompts.h"
#include "clock/CameraClock.h"
#include "clock/LocalTime.h"
#include "clock/SetClockFlow.h"

namespace {

constexpr const char* kUsage =
    "clock [--camera CAMERA] [--set now|\"YYYY-MM-DD HH:MM:SS\"] [--utc]\n"
    "                            show the camera's clock (local, UTC, difference to the PC);\n"
    "                            --set writes it (the time is local, or UTC with --utc)";

constexpr const char* kClockRange =
    "the camera's clock, which runs from 1970-01-01 00:00:00 to 2106-02-07 06:28:15 UTC";

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// "now" or "YYYY-MM-DD HH:MM:SS" (local time, or UTC) as a camera clock value; nothing, with the
// reason, for text that is not such a moment or a moment the camera's clock cannot hold.
std::optional<uint32_t> ParseSetTime(const std::string& text, bool utc, std::string* error) {
  bf::UtcSeconds t = 0;
  if (text == "now") {
    t = bf::PcClockNow();
  } else {
    bf::CalendarDate date;
    int hour = 0, minute = 0, second = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &date.year, &date.month, &date.day,
                    &hour, &minute, &second, &used) != 6 ||
        static_cast<std::size_t>(used) != text.size() || date.month < 1 || date.month > 12 ||
        date.day < 1 || date.day > DaysInMonth(date.year, date.month) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
      *error = "'" + text + "' is not \"now\" or a time as \"YYYY-MM-DD HH:MM:SS\"";
      return std::nullopt;
    }
    const std::optional<bf::UtcSeconds> converted =
        utc ? bf::FromUtcTime(date, hour, minute, second)
            : bf::FromLocalTime(date, hour, minute, second);
    // The conversion refuses a moment before 1970 and one after the year 3000 alike; both lie
    // outside the camera's clock.
    if (!converted) {
      *error = "'" + text + "' is outside " + kClockRange;
      return std::nullopt;
    }
    t = *converted;
  }
  if (t < 0 || t > bf::UtcSeconds{std::numeric_limits<uint32_t>::max()}) {
    *error = "'" + text + "' is outside " + kClockRange;
    return std::nullopt;
  }
  return static_cast<uint32_t>(t);
}

void PrintClock(const char* what, uint32_t value) {
  const std::optional<bf::LocalDateTime> local = bf::ToLocalTime(value);
  const std::optional<bf::LocalDateTime> utc = bf::ToUtcTime(value);
  const long long difference = static_cast<long long>(value) - bf::PcClockNow();
  std::printf("%s: %s %s (local)\n", what, local ? bf::FormatDateTime(*local).c_str() : "?",
              local ? local->zoneAbbreviation.c_str() : "");
  std::printf("%*s  %s UTC\n", static_cast<int>(std::string(what).size()), "",
              utc ? bf::FormatDateTime(*utc).c_str() : "?");
  std::printf("camera minus PC: %+lld s\n", difference);
  std::printf("raw value: %u\n", value);
}

struct ClockOptions {
  std::string selection;
  std::string setText;
  bool utc = false;
};

void DeclareClock(bf::cli::CommandLine& line, ClockOptions& o) {
  bf::cli::DeclareCameraOption(line, o.selection);
  line.Value("--set", o.setText);
  line.Flag("--utc", o.utc);
}

int RunClock(const std::vector<std::string>& args) {
  ClockOptions o;
  bf::cli::CommandLine line("clock");
  DeclareClock(line, o);
  if (line.Parse(args)) bf::cli::CheckCameraOption(line, o.selection);
  if (line.Failed()) return line.Report();
  const std::string& selection = o.selection;
  std::optional<uint32_t> newValue;
  if (line.Given("--set")) {
    std::string error;
    newValue = ParseSetTime(o.setText, o.utc, &error);
    if (!newValue) {
      std::fprintf(stderr, "bfk clock: %s\n", error.c_str());
      return bf::cli::kExitUsage;
    }
  }
  std::optional<bf::cli::CameraLink> camera =
      bf::cli::OpenCameraLink(selection, bf::SystemTickSource::Instance(), "clock");
  if (!camera) return bf::cli::kExitFailure;
  if (newValue) {
    // The window's "Установить время..." flow, the chosen time given up front: the camera's
    // clock is read first, and a camera that does not answer whole gets no time written.
    bf::cli::TerminalPrompts prompts("bfk clock");
    bf::RunSetClockFlow(*camera->link, prompts,
                        [&](bf::UtcSeconds) { return std::optional<bf::UtcSeconds>(*newValue); });
    if (prompts.ShowedError()) return bf::cli::kExitFailure;
    std::printf("camera clock set\n");
  }
  try {
    // Read back also after setting: the camera does not acknowledge the new time.
    uint32_t count = 0;
    const uint32_t value = bf::ReadCameraClock(*camera->link, &count);
    if (count < 4) {
      std::fprintf(stderr, "bfk clock: the camera answered with %u of 4 bytes\n", count);
      return bf::cli::kExitFailure;
    }
    PrintClock("camera clock", value);
  } catch (const bf::FTDException& e) {
    std::fprintf(stderr, "bfk clock: %s\n", e.GetText());
    return bf::cli::kExitFailure;
  }
  return std::fflush(stdout) == 0 ? bf::cli::kExitDone : bf::cli::kExitFailure;
}

}  // namespace

BFK_COMMAND("clock", kUsage, RunClock);
