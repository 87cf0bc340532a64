// bfk info: the frame index of a recording, as the player builds it.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "cli/CopyRecordInfo.h"
#include "cli/OpenRecording.h"
#include "cli/TimelineReport.h"
#include "flash/CopyRecord.h"
#include "flash/CopyRecordCheck.h"
#include "host/CalendarTime.h"
#include "recordings/Recording.h"

namespace {

std::string UtcText(uint32_t timestamp) {
  const std::time_t t = static_cast<std::time_t>(timestamp);
  std::tm tm{};
  char text[32] = "?";
  if (bf::UtcCalendarTime(t, &tm)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

void PrintJson(const bf::Recording& recording) {
  std::printf("{\"count\": %zu, \"frames\": [", recording.Count());
  const char* separator = "";
  for (const bf::FrameIndexEntry& e : recording.Index()) {
    const bf::FrameHeader& h = e.header;
    std::printf(
        "%s{\"offset\": %llu, \"length\": %u, \"timestamp\": %u, \"compression\": %u, "
        "\"monochrome\": %u, \"frameRateIndex\": %u, \"flags\": %u}",
        separator, static_cast<unsigned long long>(e.offset), unsigned{bf::PayloadLength(h)},
        h.Timestamp(), unsigned{h.Compression()}, unsigned{h.Monochrome()},
        unsigned{h.FrameRateIndex()}, unsigned{h.Flags()});
    separator = ", ";
  }
  std::printf("]}\n");
}

void PrintText(const bf::Recording& recording) {
  const bf::FrameIndex& index = recording.Index();
  const uint32_t first = index.front().header.Timestamp();
  const uint32_t last = index.back().header.Timestamp();
  std::printf("frames: %zu\n", index.size());
  std::printf("time span: %s .. %s UTC (%lld s)\n", UtcText(first).c_str(), UtcText(last).c_str(),
              static_cast<long long>(last) - static_cast<long long>(first));
  std::printf("%8s %14s %7s %-19s %4s %4s %4s %5s\n", "frame", "offset", "length", "time (UTC)",
              "comp", "bw", "rate", "flags");
  for (std::size_t i = 0; i < index.size(); ++i) {
    const bf::FrameHeader& h = index[i].header;
    std::printf("%8zu %14llu %7u %-19s %4u %4u %4u %5u\n", i,
                static_cast<unsigned long long>(index[i].offset), unsigned{bf::PayloadLength(h)},
                UtcText(h.Timestamp()).c_str(), unsigned{h.Compression()}, unsigned{h.Monochrome()},
                unsigned{h.FrameRateIndex()}, unsigned{h.Flags()});
  }
}

struct InfoOptions {
  std::string path;
  bool json = false;
  bool timeline = false;
  bool check = false;
};

void DeclareInfo(bf::cli::CommandLine& line, InfoOptions& o) {
  line.Operand("FILE", o.path);
  line.Flag("--json", o.json);
  line.Flag("--timeline", o.timeline);
  line.Flag("--check", o.check);
}

int RunInfo(const std::vector<std::string>& args) {
  InfoOptions o;
  bf::cli::CommandLine line("info");
  DeclareInfo(line, o);
  if (line.Parse(args) && o.path.empty()) line.Fail("missing the recording FILE");
  if (line.Failed()) return line.Report();
  const std::string& path = o.path;
  const bool json = o.json;
  const bool timeline = o.timeline;
  const bool check = o.check;
  // Needs no frame in the file: an unfinished copy's partial file is checked all the same.
  if (check) return bf::cli::CheckAgainstCopyRecord(path);
  bf::Recording recording;
  if (!bf::cli::OpenRecordingOrSay("info", path, recording)) return bf::cli::kExitFailure;
  if (timeline) {
    const std::string report =
        json ? bf::cli::TimelineJson(recording.Index()) : bf::cli::TimelineText(recording.Index());
    std::fputs(report.c_str(), stdout);
  } else if (json) {
    PrintJson(recording);
  } else {
    PrintText(recording);
    // A flash copy's record beside it: what the copy received, next to what the file holds.
    std::string error;
    if (std::filesystem::exists(bf::CopyRecordPath(path))) {
      if (const auto record = bf::ReadCopyRecord(bf::CopyRecordPath(path), &error)) {
        std::fputs(bf::cli::CopyRecordFacts(path, *record, recording).c_str(), stdout);
      } else {
        std::printf("copy record: %s %s\n", bf::CopyRecordPath(path).c_str(), error.c_str());
      }
    }
  }
  return bf::cli::kExitDone;  // main checks that standard output took every line
}

}  // namespace

BFK_COMMAND(
    "info",
    "info [--json] [--timeline] [--check] FILE\n"
    "                            frame count, time span and frames of a recording; with\n"
    "                            --timeline its recordings, gaps and damaged stretches;\n"
    "                            with FILE.json (a copy's record) beside it, the record's\n"
    "                            facts; --check: whether FILE still matches the record's\n"
    "                            hashes (exit 1 when not, naming the first chunk that differs)",
    RunInfo);
