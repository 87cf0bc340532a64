#include "recordings/RecordingExport.h"

#include <cerrno>

#include "host/FileErrorText.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/ExportFrame.h"
#include "recordings/FramesExport.h"
#include "recordings/PlayerPanel.h"

namespace bf {

namespace {
inline constexpr const char* kVideoFilter =
    "Matroska video (*.mkv)|*.mkv|AVI video (*.avi)|*.avi|MP4 video (*.mp4)|*.mp4||";
}  // namespace

std::string ExportDoneText(const ExportOutcome& outcome) {
  return "Записано кадров: " + std::to_string(outcome.written) +
         ", пропущено: " + std::to_string(outcome.skipped);
}

RecordingExport::RecordingExport(UserPrompts& prompts, ExportProgressView& view,
                                 const JpegHeaderTable& table, VideoWriter videoWriter)
    : prompts_(prompts), view_(view), table_(table), videoWriter_(std::move(videoWriter)) {}

RecordingExport::~RecordingExport() {
  Cancel();
  Wait();
}

bool RecordingExport::Ready(const std::string& recordingPath) {
  if (recordingPath.empty()) {
    prompts_.ShowMessage(kNoRecordingToExportText, "", MessageIcon::None);
    return false;
  }
  if (Busy()) {
    prompts_.ShowMessage(kExportBusyText, "", MessageIcon::None);
    return false;
  }
  return true;
}

std::optional<std::string> RecordingExport::ChooseVideoOutput(const std::string& recordingPath) {
  FileDialogRequest request;
  request.filter = kVideoFilter;
  request.defaultExtension = "mkv";
  request.confirmOverwrite = true;
  request.hideReadOnly = true;
  request.initialDirectory = lastFolder_;
  const std::optional<std::string> chosen = prompts_.ChooseSaveFile(request);
  if (!chosen || chosen->empty()) return std::nullopt;
  const std::string output = WithDefaultExtension(*chosen, "mkv");
  lastFolder_ = FolderOfChosenFile(output);
  if (IsSameFile(output, recordingPath)) {
    prompts_.ShowMessage(FileErrorText(EACCES, output), "", MessageIcon::Error);
    return std::nullopt;
  }
  return output;
}

std::optional<std::string> RecordingExport::ChooseFramesFolder() {
  const std::optional<std::string> folder = prompts_.ChooseFolder(lastFolder_);
  if (!folder || folder->empty()) return std::nullopt;
  lastFolder_ = *folder;
  return folder;
}

bool RecordingExport::StartVideo(const std::string& recordingPath, uint32_t rate) {
  if (!videoWriter_ || !Ready(recordingPath)) return false;
  const std::optional<std::string> output = ChooseVideoOutput(recordingPath);
  if (!output) return false;
  return StartJob(
      recordingPath, kExportVideoTitle,
      [this, output = *output, rate](const Recording& recording, ExportProgress& progress) {
        return videoWriter_(recording, table_, output, rate, progress);
      });
}

bool RecordingExport::StartFrames(const std::string& recordingPath) {
  if (!Ready(recordingPath)) return false;
  const std::optional<std::string> folder = ChooseFramesFolder();
  if (!folder) return false;
  return StartJob(recordingPath, kExportFramesTitle,
                  [this, dir = *folder](const Recording& recording, ExportProgress& progress) {
                    return ExportFrames(recording, table_, dir, {}, progress);
                  });
}

bool RecordingExport::StartJob(const std::string& recordingPath, const std::string& title, Job job,
                               Recording::Pairing pairing) {
  if (Busy()) return false;
  title_ = title;
  progress_ = std::make_unique<ExportProgress>();
  finished_ = false;
  outcome_ = {};
  view_.ShowProgress(title_, 0, 0);
  worker_ = std::jthread([this, recordingPath, pairing, job = std::move(job)] {
    Recording recording;
    ExportOutcome outcome;
    switch (recording.Open(recordingPath, kAllFrames, pairing)) {
      case Recording::OpenStatus::Opened:
        outcome = job(recording, *progress_);
        break;
      case Recording::OpenStatus::SystemError:
        outcome.error = FileErrorTextForSystemCode(recording.SystemError(), recordingPath);
        break;
      case Recording::OpenStatus::NotRecording:
        outcome.error = kEmptyFileText;
        break;
    }
    outcome_ = std::move(outcome);
    finished_.store(true, std::memory_order_release);
    finished_.notify_all();
  });
  return true;
}

void RecordingExport::Poll() {
  if (!Busy()) return;
  if (!finished_.load(std::memory_order_acquire)) {
    view_.ShowProgress(title_, progress_->done.load(), progress_->total.load());
    return;
  }
  worker_.join();
  view_.CloseProgress();
  switch (outcome_.status) {
    case ExportOutcome::Status::Done:
      prompts_.ShowMessage(ExportDoneText(outcome_), "", MessageIcon::Information);
      break;
    case ExportOutcome::Status::Cancelled:
      prompts_.ShowMessage(kExportCancelledText, "", MessageIcon::None);
      break;
    case ExportOutcome::Status::Failed:
      prompts_.ShowMessage(outcome_.error, "", MessageIcon::Error);
      break;
  }
}

void RecordingExport::Cancel() {
  if (!progress_) return;
  progress_->cancel = true;
  progress_->cancel.notify_all();
}

void RecordingExport::Wait() {
  if (!worker_.joinable()) return;
  while (!finished_.load(std::memory_order_acquire)) finished_.wait(false);
}

}  // namespace bf
