#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "frames/JpegHeaderTable.h"
#include "host/UserPrompts.h"
#include "recordings/ExportProgress.h"
#include "recordings/Recording.h"

namespace bf {

inline constexpr const char* kExportVideoMenuText = "Экспорт видео...";
inline constexpr const char* kExportFramesMenuText = "Экспорт кадров...";
inline constexpr const char* kExportVideoTitle = "Экспорт видео";
inline constexpr const char* kExportFramesTitle = "Экспорт кадров";
inline constexpr const char* kNoRecordingToExportText = "Нет открытой записи";
inline constexpr const char* kExportBusyText = "Экспорт уже идёт";
inline constexpr const char* kExportCancelledText = "Экспорт отменён";

// "Записано кадров: 12, пропущено: 1"
std::string ExportDoneText(const ExportOutcome& outcome);

// The progress dialog of a running export, as the presenter drives it. GUI thread.
class ExportProgressView {
 public:
  virtual ~ExportProgressView() = default;
  virtual void ShowProgress(const std::string& title, uint32_t done, uint32_t total) = 0;
  virtual void CloseProgress() = 0;
};

// The window's "Экспорт видео..." and "Экспорт кадров..." for the open recording: asks for the
// file or folder, runs the export on a worker thread and reports its progress and its end.
//
// Threads: every public member on the owner's thread (the GUI thread). The worker opens a
// recording of its own from the path (so the player keeps playing, and may even open another
// recording, meanwhile) and hands its progress and its outcome to the owner's thread through
// `post`: the window queues the call to its event loop, a terminal front end or a test to a
// PostedCalls queue. At most one progress call is queued at a time. Cancel reaches the worker
// through an atomic. A posted call that runs after the presenter is gone does nothing. The
// destructor cancels and joins.
class RecordingExport {
 public:
  // Writes one video of the recording to `output` (the video export, injected so that this
  // presenter builds without the video libraries); empty when the build has no video.
  using VideoWriter =
      std::function<ExportOutcome(const Recording&, const JpegHeaderTable&,
                                  const std::string& output, uint32_t rate, ExportProgress&)>;

  // Runs a call later on the owner's thread; callable from any thread, never waits for the call.
  using Post = std::function<void(std::function<void()>)>;

  RecordingExport(UserPrompts& prompts, ExportProgressView& view, const JpegHeaderTable& table,
                  VideoWriter videoWriter, Post post);
  ~RecordingExport();
  RecordingExport(const RecordingExport&) = delete;
  RecordingExport& operator=(const RecordingExport&) = delete;

  bool VideoAvailable() const { return static_cast<bool>(videoWriter_); }
  // Each returns true when an export was started. An empty path means no recording is open.
  // rate: the frame times, 0 = as recorded, else frames per second (the player group's choice).
  bool StartVideo(const std::string& recordingPath, uint32_t rate);
  bool StartFrames(const std::string& recordingPath);

  // The pieces of those two, for exports of a part of a recording. Ready: false, after telling
  // the operator, when no recording is open (empty path) or an export runs. ChooseVideoOutput:
  // the save dialog for a video, the name given ".mkv" when it has no extension; nothing when
  // cancelled or when it names the recording itself (told). ChooseFramesFolder: the folder
  // dialog. StartJob runs `job` on the worker over a recording of its own, opened from the path
  // (with the other file of a pair when asked), under the progress dialog titled `title`.
  using Job = std::function<ExportOutcome(const Recording&, ExportProgress&)>;
  bool Ready(const std::string& recordingPath);
  std::optional<std::string> ChooseVideoOutput(const std::string& recordingPath);
  std::optional<std::string> ChooseFramesFolder();
  bool StartJob(const std::string& recordingPath, const std::string& title, Job job,
                Recording::Pairing pairing = Recording::Pairing::Alone);

  // From a start until the posted end has been handled.
  bool Busy() const { return worker_.joinable(); }
  // The progress dialog's Cancel.
  void Cancel();
  // Blocks until the worker has finished and posted its end, which is reported when that call
  // runs. For tests.
  void Wait();

 private:
  // One export: what the worker and the calls it posts share.
  struct Run {
    ExportProgress progress;
    std::atomic<bool> progressQueued{false};
    ExportOutcome outcome;  // written by the worker before it posts the end
    std::atomic<bool> finished{false};
  };
  void PostProgress(const std::shared_ptr<Run>& run);
  // The posted calls, run on the owner's thread while the run (and so the presenter) lives.
  void ShowProgress(const std::shared_ptr<Run>& run);
  void Finish(const std::shared_ptr<Run>& run);

  UserPrompts& prompts_;
  ExportProgressView& view_;
  const JpegHeaderTable& table_;
  VideoWriter videoWriter_;
  Post post_;
  std::string title_;
  std::string lastFolder_;
  std::shared_ptr<Run> run_;  // the export under way, or the last one
  std::jthread worker_;
};

}  // namespace bf
