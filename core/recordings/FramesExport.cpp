#include "recordings/FramesExport.h"
#include "host/CalendarTime.h"

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <vector>

#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/FrameDecodes.h"
#include "recordings/StillBatch.h"

namespace bf {

ResolvedRange ResolveRange(const ExportRange& range, std::size_t frameCount) {
  ResolvedRange r;
  if (frameCount == 0) {
    r.error = "the recording has no frames";
    return r;
  }
  const uint64_t lastFrame = frameCount - 1;
  const uint64_t last = range.last ? std::min<uint64_t>(*range.last, lastFrame) : lastFrame;
  if (range.first > lastFrame) {
    r.error = "--from " + std::to_string(range.first) + " is past the last frame " +
              std::to_string(lastFrame);
    return r;
  }
  if (range.last && *range.last < range.first) {
    r.error =
        "--to " + std::to_string(*range.last) + " is before --from " + std::to_string(range.first);
    return r;
  }
  r.first = range.first;
  r.count = static_cast<uint32_t>(last - range.first + 1);
  return r;
}

std::string StillFileName(const FrameHeader& header, uint32_t index) {
  // The camera counts unsigned seconds; widening keeps stamps past 2038 in the future.
  const std::time_t seconds = static_cast<std::time_t>(static_cast<int64_t>(header.Timestamp()));
  std::tm local{};
  char time[32] = "0000-00-00_00-00-00";
  if (LocalCalendarTime(seconds, &local)) {
    std::strftime(time, sizeof time, "%Y-%m-%d_%H-%M-%S", &local);
  }
  char name[64];
  std::snprintf(name, sizeof name, "%s_%06u.jpg", time, index);
  return name;
}

ExportOutcome ExportFrames(const Recording& recording, const JpegHeaderTable& table,
                           const std::string& folder, const ExportRange& range,
                           ExportProgress& progress) {
  ExportOutcome outcome;
  const ResolvedRange r = ResolveRange(range, recording.Count());
  if (!r.error.empty()) {
    outcome.error = r.error;
    return outcome;
  }
  progress.total = r.count;

  std::error_code ec;
  const bool made = std::filesystem::create_directories(folder, ec);
  if (ec) {
    outcome.error = FileErrorText(static_cast<uint32_t>(ec.value()), folder);
    return outcome;
  }
  // A folder made for a run that does not complete goes again (when nothing else came in).
  struct MadeFolder {
    std::string path;
    bool keep = false;
    ~MadeFolder() {
      std::error_code ignored;
      if (!path.empty() && !keep) std::filesystem::remove(path, ignored);
    }
  } madeFolder{made ? folder : std::string(), false};

  StillBatch batch;
  const auto fail = [&outcome](std::string error) {
    outcome.error = std::move(error);
    outcome.written = 0;
    return outcome;
  };
  std::vector<uint8_t> payload;  // reused: one allocation for the whole export
  for (uint32_t k = 0; k < r.count; ++k) {
    if (progress.Cancelled()) {
      outcome.status = ExportOutcome::Status::Cancelled;
      outcome.written = 0;
      return outcome;
    }
    const uint32_t i = r.first + k;
    const FrameHeader& header = recording.Index()[i].header;
    const std::span<const uint8_t> entry =
        table.SelectHeaderEntry(header.Compression(), header.Monochrome());
    // A frame that cannot be read any more (the file changed on disk) is skipped like one
    // that cannot be rebuilt.
    if (entry.empty() || !recording.ReadPayload(i, payload)) {
      ++outcome.skipped;
    } else if (!FrameDecodes(table, header, payload)) {
      // Written, it would pass for a picture and show nothing or noise.
      ++outcome.skipped;
      outcome.undecodable.push_back(i);
    } else {
      const std::string path = (std::filesystem::path(folder) / StillFileName(header, i)).string();
      if (IsSameFile(path, recording.Path())) {
        return fail("the still " + path +
                    " would replace the recording itself; nothing was written");
      }
      if (const uint32_t error = batch.Stage(entry, header, payload, path)) {
        return fail(FileErrorText(error, path));
      }
      ++outcome.written;
    }
    progress.FrameDone();
  }
  std::string failedPath;
  if (const uint32_t error =
          batch.Commit([&progress] { return progress.Cancelled(); }, failedPath)) {
    if (error == ECANCELED) {
      outcome.status = ExportOutcome::Status::Cancelled;
      outcome.written = 0;
      return outcome;
    }
    return fail(FileErrorText(error, failedPath));
  }
  madeFolder.keep = true;
  outcome.status = ExportOutcome::Status::Done;
  return outcome;
}

}  // namespace bf
