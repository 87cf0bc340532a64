#include "cli/TimelineReport.h"

#include <cstdio>
#include <vector>

#include "cli/FormatLine.h"
#include "clock/LocalTime.h"
#include "review/DamagedStretches.h"
#include "review/Recordings.h"
#include "review/Timeline.h"

namespace bf::cli {

namespace {

std::string LocalText(uint32_t timestamp) {
  const std::optional<LocalDateTime> t = ToLocalTime(static_cast<UtcSeconds>(timestamp));
  return t ? FormatDateTime(*t) : std::string("?");
}

const char* ModeText(bool monochrome) {
  return monochrome ? "BW" : "COL";
}

struct Review {
  explicit Review(const FrameIndex& index)
      : timeline(index),
        recordings(SplitRecordings(index)),
        gaps(FindGaps(timeline)),
        damaged(FindDamagedStretches(index)) {}
  Timeline timeline;
  std::vector<RecordingRun> recordings;
  std::vector<TimeGap> gaps;
  std::vector<DamagedStretch> damaged;
};

}  // namespace

std::string TimelineText(const FrameIndex& index) {
  const Review r(index);
  std::string out = FormatLine("frames: %zu\n", r.timeline.Count());
  out += FormatLine("time span: %s .. %s local time (%lld s)\n",
                    LocalText(r.timeline.FirstTime()).c_str(),
                    LocalText(r.timeline.LastTime()).c_str(),
                    static_cast<long long>(r.timeline.LastTime()) - r.timeline.FirstTime());
  out += FormatLine("recordings: %zu\n", r.recordings.size());
  out += FormatLine("  %8s %8s  %-19s  %-19s %4s %4s\n", "frame", "frames", "start (local)",
                    "end (local)", "comp", "mode");
  for (const RecordingRun& run : r.recordings) {
    out += FormatLine("  %8zu %8zu  %-19s  %-19s %4u %4s\n", run.firstFrame, run.frames,
                      LocalText(run.start).c_str(), LocalText(run.end).c_str(),
                      unsigned{run.compression}, ModeText(run.monochrome));
  }
  out += FormatLine("gaps: %zu\n", r.gaps.size());
  for (const TimeGap& gap : r.gaps) {
    out += FormatLine("  from %s, %u s\n", LocalText(gap.start).c_str(), gap.Length());
  }
  uint64_t damagedBytes = 0;
  for (const DamagedStretch& s : r.damaged) damagedBytes += s.length;
  out += FormatLine("damaged stretches: %zu (%llu bytes)\n", r.damaged.size(),
                    static_cast<unsigned long long>(damagedBytes));
  for (const DamagedStretch& s : r.damaged) {
    out += FormatLine("  at offset %llu, %llu bytes\n", static_cast<unsigned long long>(s.offset),
                      static_cast<unsigned long long>(s.length));
  }
  return out;
}

std::string TimelineJson(const FrameIndex& index) {
  const Review r(index);
  // Local times are digits, dashes, colons and spaces (or "?"): nothing to escape.
  std::string out = FormatLine("{\"frames\": %zu, \"start\": %u, \"end\": %u, \"recordings\": [",
                               r.timeline.Count(), r.timeline.FirstTime(), r.timeline.LastTime());
  const char* separator = "";
  for (const RecordingRun& run : r.recordings) {
    out += FormatLine(
        "%s{\"firstFrame\": %zu, \"frames\": %zu, \"start\": %u, \"end\": %u, \"startLocal\": "
        "\"%s\", \"endLocal\": \"%s\", \"compression\": %u, \"mode\": \"%s\"}",
        separator, run.firstFrame, run.frames, run.start, run.end, LocalText(run.start).c_str(),
        LocalText(run.end).c_str(), unsigned{run.compression}, ModeText(run.monochrome));
    separator = ", ";
  }
  out += "], \"gaps\": [";
  separator = "";
  for (const TimeGap& gap : r.gaps) {
    out += FormatLine("%s{\"start\": %u, \"end\": %u, \"length\": %u, \"startLocal\": \"%s\"}",
                      separator, gap.start, gap.end, gap.Length(), LocalText(gap.start).c_str());
    separator = ", ";
  }
  out += "], \"damaged\": [";
  separator = "";
  for (const DamagedStretch& s : r.damaged) {
    out += FormatLine("%s{\"offset\": %llu, \"length\": %llu}", separator,
                      static_cast<unsigned long long>(s.offset),
                      static_cast<unsigned long long>(s.length));
    separator = ", ";
  }
  out += "]}\n";
  return out;
}

}  // namespace bf::cli
