#include "cli/CopyReport.h"
#include "cli/FormatLine.h"
#include "host/CalendarTime.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "host/ReportSystemError.h"
#include "recordings/Recording.h"
#include "review/DamagedStretches.h"

namespace bf::cli {

namespace {

std::string UtcText(uint32_t timestamp) {
  const std::time_t t = static_cast<std::time_t>(timestamp);
  std::tm tm{};
  char text[32] = "?";
  if (UtcCalendarTime(t, &tm)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

const char* OutcomeText(CopyOutcome outcome) {
  switch (outcome) {
    case CopyOutcome::NotStarted:
      return "not started";
    case CopyOutcome::Running:
      return "still running";
    case CopyOutcome::Completed:
      return "completed";
    case CopyOutcome::Cancelled:
      return "cancelled";
    case CopyOutcome::Failed:
      return "failed";
    case CopyOutcome::WrongType:
      return "wrong camera type";
    case CopyOutcome::FlashEmpty:
      return "flash empty";
    case CopyOutcome::Declined:
      return "declined";
    case CopyOutcome::NoFrame:
      return "no frame at the range boundary";
    case CopyOutcome::Refused:
      return "refused";
  }
  return "?";
}

uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<uint64_t>(size);
}

void ReportFile(const std::string& path, std::string& out) {
  out += "file: " + path + "\n";
  // Standard output cannot be read back (and a file named "-" is not what was written).
  if (path == "-") {
    out += "  standard output, not read back\n";
    return;
  }
  // A copy that ended before its first chunk leaves an empty file, which cannot be mapped: that
  // is no read error to report.
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && FileSize(path) == 0) {
    out += "  size: 0 bytes\n  frames: 0 (empty file)\n";
    return;
  }
  Recording recording;
  switch (recording.Open(path)) {
    case Recording::OpenStatus::SystemError:
      out += "  cannot be read: " + SystemErrorText(recording.SystemError()) + "\n";
      return;
    case Recording::OpenStatus::NotRecording:
      out += FormatLine("  size: %llu bytes\n  frames: 0 (no usable frame record)\n",
                        static_cast<unsigned long long>(FileSize(path)));
      return;
    case Recording::OpenStatus::Opened:
      break;
  }
  const FrameIndex& index = recording.Index();
  out += FormatLine("  size: %llu bytes\n  frames: %zu\n",
                    static_cast<unsigned long long>(recording.Size()), index.size());
  uint32_t first = index.front().header.Timestamp();
  uint32_t last = first;
  for (const FrameIndexEntry& e : index) {
    first = std::min(first, e.header.Timestamp());
    last = std::max(last, e.header.Timestamp());
  }
  out += FormatLine("  time span: %s .. %s UTC (%lld s)\n", UtcText(first).c_str(),
                    UtcText(last).c_str(),
                    static_cast<long long>(last) - static_cast<long long>(first));
  const std::vector<DamagedStretch> damaged = FindDamagedStretches(index);
  uint64_t damagedBytes = 0;
  for (const DamagedStretch& s : damaged) damagedBytes += s.length;
  out += FormatLine("  damaged stretches: %zu (%llu bytes)\n", damaged.size(),
                    static_cast<unsigned long long>(damagedBytes));
  for (const DamagedStretch& s : damaged) {
    out += FormatLine("    at offset %llu, %llu bytes\n", static_cast<unsigned long long>(s.offset),
                      static_cast<unsigned long long>(s.length));
  }
}

// The window's message texts break lines; a report keeps one field per line.
std::string OnOneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string CopyReport(const CopySummary& s, bool verify) {
  std::string out = "copy report\n";
  out += FormatLine("  camera type: %d\n", s.cameraType);
  out += std::string("  outcome: ") + OutcomeText(s.outcome) +
         (s.failure.empty() ? std::string() : ": " + OnOneLine(s.failure)) + "\n";
  out += FormatLine("  bytes expected: %u\n  bytes counted: %u\n", s.totalBytes, s.doneBytes);
  out += FormatLine("  bytes asked: %llu\n  bytes received: %llu\n",
                    static_cast<unsigned long long>(s.bytesAsked),
                    static_cast<unsigned long long>(s.bytesReceived));
  out += FormatLine("  chunks: %u\n  short chunks: %u\n", s.chunks, s.shortChunks);
  out += std::string("  complete: ") + (s.Complete() ? "yes" : "no") + "\n";
  if (s.resumedBytes > 0) {
    out += FormatLine("  resumed: %llu bytes taken from %s\n",
                      static_cast<unsigned long long>(s.resumedBytes), s.resumedFrom.c_str());
  }
  if (verify) {
    out += std::string("  verified: ") + (s.verified ? "yes" : "no") + "\n";
    out += FormatLine("  chunks read again: %u\n", s.rereadChunks);
    for (const UnverifiedChunk& c : s.unverifiedChunks) {
      const std::string file = c.fileIndex < s.files.size() ? s.files[c.fileIndex] : "?";
      out += FormatLine("  reads never agreed: %s at offset %llu, %llu bytes\n", file.c_str(),
                        static_cast<unsigned long long>(c.offset),
                        static_cast<unsigned long long>(c.length));
    }
  }
  for (const std::string& file : s.files) {
    ReportFile(file, out);
    for (const KeptFile& kept : s.keptFiles) {
      if (kept.partial == file) {
        out += "  unfinished copy: the whole chunks received, kept beside " + kept.chosen + "\n";
      }
    }
  }
  if (s.files.empty()) out += "no file written\n";
  if (!s.recordFile.empty()) out += "copy record: " + s.recordFile + "\n";
  if (!s.recordFailure.empty())
    out += "copy record not written: " + OnOneLine(s.recordFailure) + "\n";
  // A copy that did not complete never replaces what was there.
  for (const KeptFile& kept : s.keptFiles) {
    out += "left as it was: " + kept.chosen +
           (kept.partial.empty() ? " (nothing received)\n"
                                 : " (received chunks in " + kept.partial + ")\n");
  }
  return out;
}

}  // namespace bf::cli
