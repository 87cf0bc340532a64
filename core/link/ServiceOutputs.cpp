#include "link/ServiceOutputs.h"

#include <optional>
#include <string>
#include <vector>

#include "host/BusyCursor.h"
#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "link/CommandSet.h"

namespace bf {
namespace {

FileDialogRequest RawOutputRequest() {
  FileDialogRequest request;
  request.hideReadOnly = true;
  request.confirmOverwrite = true;
  return request;
}

void ReportFileError(UserPrompts& prompts, uint32_t error, const std::string& path) {
  prompts.ShowMessage(FileErrorText(error, path), "", MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace

void SaveReceivedBytes(FTD2xx& link, UserPrompts& prompts) {
  std::vector<uint8_t> bytes;
  const bool read = RunGuarded(prompts, [&] {
    const uint32_t pending = link.GetQueueStatus();
    if (pending == 0) return;
    bytes.resize(pending);
    // Only what actually arrived is kept: a short read must not put undefined bytes on disk.
    bytes.resize(link.ReadWithTimeout(bytes.data(), pending));
  });
  if (!read || bytes.empty()) return;
  const std::optional<std::string> path = prompts.ChooseSaveFile(RawOutputRequest());
  if (!path) return;
  if (const uint32_t error = WriteWholeFile(*path, bytes)) ReportFileError(prompts, error, *path);
}

void SaveCameraOutput(FTD2xx& link, UserPrompts& prompts) {
  const std::optional<std::string> path = prompts.ChooseSaveFile(RawOutputRequest());
  if (!path) return;
  ReplacingFileWriter file;
  if (const uint32_t error = file.Open(*path)) {
    ReportFileError(prompts, error, *path);
    return;
  }
  {
    BusyCursorGuard busy(prompts);
    std::vector<uint8_t> chunk(kAllDataChunk);
    // A link failure is reported by the guard and ends the reading; what came before it is
    // still the camera's output and is kept.
    RunGuarded(prompts, [&] {
      for (;;) {
        const uint32_t got = link.ReadWithTimeout(chunk.data(), kAllDataChunk);
        if (got == 0 || file.Write(std::span(chunk.data(), got)) != 0) break;
      }
    });
  }
  if (const uint32_t error = file.Commit()) ReportFileError(prompts, error, *path);
}

}  // namespace bf
