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
                                 const JpegHeaderTable& table, VideoWriter videoWriter, Post post)
    : prompts_(prompts),
      view_(view),
      table_(table),
      videoWriter_(std::move(videoWriter)),
      post_(std::move(post)) {}

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
  run_ = std::make_shared<Run>();
  view_.ShowProgress(title_, 0, 0);
  // The worker keeps its own share of the run; the calls it posts hold only a weak one: once
  // the presenter (which joins the worker) is gone, nobody holds the run and they do nothing.
  worker_ = std::jthread([this, run = run_, recordingPath, pairing, job = std::move(job)] {
    run->progress.afterFrame = [this, weak = std::weak_ptr<Run>(run)](uint32_t) {
      if (const std::shared_ptr<Run> r = weak.lock()) PostProgress(r);
    };
    Recording recording;
    ExportOutcome outcome;
    switch (recording.Open(recordingPath, kAllFrames, pairing)) {
      case Recording::OpenStatus::Opened:
        outcome = job(recording, run->progress);
        break;
      case Recording::OpenStatus::SystemError:
        outcome.error = FileErrorTextForSystemCode(recording.SystemError(), recordingPath);
        break;
      case Recording::OpenStatus::NotRecording:
        outcome.error = kEmptyFileText;
        break;
    }
    run->outcome = std::move(outcome);
    // Posted before the flag goes up, so that whoever waited for the flag finds the end queued.
    post_([this, posted = std::weak_ptr<Run>(run)] {
      if (const std::shared_ptr<Run> alive = posted.lock()) Finish(alive);
    });
    run->finished.store(true, std::memory_order_release);
    run->finished.notify_all();
  });
  return true;
}

// Worker thread: touches only the run and the post function, which never change meanwhile.
void RecordingExport::PostProgress(const std::shared_ptr<Run>& run) {
  if (run->progressQueued.exchange(true)) return;
  post_([this, posted = std::weak_ptr<Run>(run)] {
    if (const std::shared_ptr<Run> alive = posted.lock()) ShowProgress(alive);
  });
}

void RecordingExport::ShowProgress(const std::shared_ptr<Run>& run) {
  if (run != run_) return;
  run->progressQueued = false;
  view_.ShowProgress(title_, run->progress.done.load(), run->progress.total.load());
}

void RecordingExport::Finish(const std::shared_ptr<Run>& run) {
  if (run != run_ || !worker_.joinable()) return;
  worker_.join();
  view_.CloseProgress();
  const ExportOutcome& outcome = run->outcome;
  switch (outcome.status) {
    case ExportOutcome::Status::Done:
      prompts_.ShowMessage(ExportDoneText(outcome), "", MessageIcon::Information);
      break;
    case ExportOutcome::Status::Cancelled:
      prompts_.ShowMessage(kExportCancelledText, "", MessageIcon::None);
      break;
    case ExportOutcome::Status::Failed:
      prompts_.ShowMessage(outcome.error, "", MessageIcon::Error);
      break;
  }
}

void RecordingExport::Cancel() {
  if (!run_) return;
  run_->progress.cancel = true;
  run_->progress.cancel.notify_all();
}

void RecordingExport::Wait() {
  if (!worker_.joinable() || !run_) return;
  while (!run_->finished.load(std::memory_order_acquire)) run_->finished.wait(false);
}

}  // namespace bf
