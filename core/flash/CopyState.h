#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopyPlan.h"
#include "flash/CopyRecord.h"
#include "flash/CopyResume.h"
#include "flash/CopySession.h"
#include "flash/FlashReply.h"
#include "host/RecordingFileType.h"

namespace bf {

inline constexpr const char* kEmptyFlashText = "Флеш-память камеры пуста";
inline constexpr const char* kWrongTypeText = "Не возможно сохранить. Неправильный тип камеры.";
// Memory the readout could not make sense of: the same words as for a reply of the wrong length.
inline constexpr const char* kNoFrameAfterPointerText = kBadFlashReplyText;
inline constexpr const char* kNoStartHeaderText = "Начальный блок не содержит заголовка JPEG";
inline constexpr const char* kNoEndTrailerText = "Конечный блок не содержит хвостовика JPEG";
inline constexpr const char* kReadBlockErrorText = "Read 64k-block error!";
// An unfinished copy left the chosen file as it was and put what arrived beside it.
inline constexpr const char* kPartialKeptText =
    "Копирование не завершено. Файл %1 оставлен без изменений, полученные данные сохранены в "
    "файле %2.";

// A write, flush or close of an output file failed: errno and the name for FileErrorText.
class CopyFileError : public std::runtime_error {
 public:
  CopyFileError(uint32_t code, const std::string& path);
  uint32_t Code() const { return code_; }
  const std::string& Path() const { return path_; }

 private:
  uint32_t code_;
  std::string path_;
};

// A boundary search of the NAND copy got fewer bytes than its window.
class FlashReadError : public std::runtime_error {
 public:
  FlashReadError() : std::runtime_error(kReadBlockErrorText) {}
};

// The chunk under way was given up at the person's word (CopySession::StopAtOnce): not a
// failure, the copy ends as cancelled with the whole chunks it has.
class CopyStopped : public std::runtime_error {
 public:
  CopyStopped() : std::runtime_error("stopped") {}
};

// The pointer and wrap flag in the camera type's form, as read (see ReadPointerAndWrap).
struct FlashPointerReply {
  uint32_t pointer = 0;
  uint8_t wrapFlag = 0;
};

// The flows' shared state: what the copy dialog holds in its fields. Owned by CopySession.
//
// Threads: everything is the copying thread's except the atomics, which the thread that shows
// the display shares (Running written by Cancel, the byte counters and the elapsed time written
// by the copying thread and read by the tick; for the tick-counted clock the tick itself adds to
// the elapsed time) and `display`, which only the tick touches.
class CopyState {
 public:
  explicit CopyState(const CopyServices& services);
  ~CopyState();

  UserPrompts& prompts;
  // Called after every chunk (a host's own work between two chunks; nothing for the window).
  RequestPoint& requests;
  CopyDialogHost& host;
  RangeChooser& rangeChooser;
  CopyProgressSink* progress;
  CopyOutputFactory makeOutput;
  TickSource& ticks;
  FTD2xx* link;

  std::atomic<int> running{0};
  // Set by Cancel: a copy cancelled before it started does not start.
  std::atomic<int> cancelled{0};
  // Set with running cleared by StopAtOnce: the chunk under way is given up too.
  std::atomic<int> stopAtOnce{0};
  static_assert(std::atomic<int>::is_always_lock_free, "StopAtOnce runs in signal handlers");
  std::atomic<uint32_t> doneBytes{0};
  std::atomic<uint32_t> totalBytes{0};
  std::atomic<uint32_t> elapsedMs{0};
  CopyDisplay display;  // the tick's

  std::atomic<uint64_t> bytesAsked{0};
  std::atomic<uint64_t> bytesReceived{0};
  std::atomic<uint32_t> chunks{0};
  std::atomic<uint32_t> shortChunks{0};

  bool started = false;
  bool finished = false;
  int cameraType = -1;
  const CameraKind* kind = nullptr;
  CopyOutcome outcome = CopyOutcome::NotStarted;
  std::string failure;
  int result = 0;
  std::vector<std::string> files;
  std::vector<KeptFile> keptFiles;
  // The failure text to show once the files are settled, so that it can say where they are.
  std::optional<std::string> failureToShow;
  // A link failure's text carries the error icon; a file or any other failure the standard
  // report's.
  MessageIcon failureIcon = MessageIcon::Error;
  bool stoppedMidChunk = false;
  std::optional<CopyClock> ticking;    // the clock of the ticks asked for, while they run
  std::unique_ptr<CopyOutput> output;  // the file being written, when one is open
  // A failure inside the range chooser's lookup, kept for when the chooser returns.
  std::exception_ptr callbackFailure;
  // For the copy record: what the camera said before the flow's first command, and after.
  bool readCameraClock = false;
  std::optional<uint32_t> cameraClock;  // empty when the clock read failed or was not made
  int64_t pcClockAtStart = 0;
  int64_t startTime = 0;
  std::optional<FlashPointerReply> pointerRead;
  std::optional<std::pair<uint8_t, uint8_t>> rangeAsked;
  // One per file opened.
  std::vector<std::shared_ptr<FileDigest>> digests;
  std::string recordFile;
  std::string recordFailure;
  // Verification.
  bool verify = false;
  uint32_t rereadChunks = 0;  // chunks whose first two reads differed
  std::vector<UnverifiedChunk> unverifiedChunks;
  // A copy that repeats a record's (CopyServices::plan, or the resume the person accepted).
  std::optional<CopyPlan> plan;
  bool offerResume = false;
  // Resume: where the whole chunks already copied come from.
  std::unique_ptr<ResumeSource> resumeSource;
  uint64_t resumedBytes = 0;
  // Verify: what each file's comparison found, one per file opened.
  std::vector<std::shared_ptr<ComparedFile>> compared;
  // Verify of an unfinished copy: the flash was read as far as the file goes, and no further.
  bool comparedToFileEnd = false;

  FTD2xx& Link();

  // Reads the reply to one chunk request. Only a reply of exactly the chunk's length, with
  // nothing after it, is the chunk: anything else throws FlashReplyError (a reply that came
  // short is counted in shortChunks first), or CopyStopped when StopAtOnce cut it off. The
  // copying thread.
  void ReadChunk(FTD2xx& link, std::span<uint8_t> chunk);
  // request() sends the chunk's request, then its reply is read as ReadChunk does. With
  // verification on the chunk is read twice; when the two differ it is read up to three more
  // times and the first bytes that two reads agree on are kept. A chunk no two reads agree on
  // keeps its first read and is listed in unverifiedChunks. The copying thread.
  void ReadRequestedChunk(FTD2xx& link, std::span<uint8_t> chunk,
                          const std::function<void()>& request);
  // Counts one exchange of the copy and tells the progress sink. The copying thread.
  void CountChunk(uint32_t start, uint32_t asked, uint32_t received, uint32_t fileIndex);
  // Hands a chunk to the file; the CountChunk that follows counts it. A file that writes behind
  // starts writing it once the next chunk's request is out (ReadRequestedChunk). The next
  // chunk's hand-over, FinishWrites or SettleWrites first waits for that write, and when it
  // failed takes its count back and throws (returns) the failure: the counts never hold a chunk
  // that is not in the file. Throws CopyFileError. The copying thread.
  void HandChunkToFile(CopyOutput& file, std::span<const uint8_t> bytes);
  // Waits for the file's last write; throws CopyFileError when it failed. SettleWrites does the
  // same and returns the failure's code instead. The copying thread (or the GUI thread once it
  // has ended).
  void FinishWrites(CopyOutput& file);
  uint32_t SettleWrites(CopyOutput& file);

  void StartTicks(CopyClock clock);
  void StopTicks();
  // The file of the copy: the plan's, or the one chosen in the save dialog (then, with
  // offerResume, the person may choose to go on with an unfinished copy it holds). Nothing when
  // the person declined.
  std::optional<std::string> ChooseCopyFile();
  // Opens a new output file; a failure is shown at once (file error text) and gives nothing.
  std::unique_ptr<CopyOutput> OpenOutput(const std::string& path);
  // Puts a file in place with what it holds: under its name when the copy finished, else as
  // CopyOutput::CommitUnfinished does, so that an existing file survives. A failure not
  // reported yet is shown; returns false then. Null does nothing.
  bool CommitOutput(std::unique_ptr<CopyOutput> file, bool finished);
  // Stops the ticks, puts the open file in place (as finished only for Completed), shows the
  // failure held back and where an unfinished copy's bytes are, and asks the host to close the
  // dialog.
  void Close(int result, CopyOutcome outcome);
  // Writes the record beside the first file kept (none when no file was kept), once the copy
  // has ended.
  void WriteRecord();
  // After a continued copy completed: removes the unfinished copy's files and record it went on
  // from, unless they are the ones just written.
  void DropResumedCopy();
  // What an unfinished copy did with the files: empty when nothing was kept aside.
  std::string KeptFilesText() const;

  // Shows the failure in flight (call inside a catch block) the way the copy dialog reports
  // it, and records it (Close shows the texts held back in failureToShow): a link failure's text
  // with the error icon, an address operation's own message (and "Out of memory." for a general
  // failure), a file failure's standard text, any other failure's text.
  void ReportCurrentFailure();
  void ReportFailure(std::exception_ptr failure);
  // Empties the receive queue after a failed exchange (a failure of that is ignored).
  void DropPendingReply();

  // The file error already shown, so that the commit after it does not show it again.
  uint32_t reportedFileError = 0;
  std::string reportedFilePath;

 private:
  // Handed to the file and not counted yet.
  bool handedOver_ = false;
  // The file holding a chunk whose writing starts once the next request is out.
  CopyOutput* heldFile_ = nullptr;
  // Counted, handed to the file, and perhaps still being written (one file at a time). The
  // copying thread.
  std::optional<CopyChunk> unsettled_;
};

// The PC's clock: seconds since 1970 UTC.
int64_t WallClockSeconds();

// Writes a chunk; a failure throws CopyFileError.
void WriteChunk(CopyOutput& file, std::span<const uint8_t> bytes);

// The save dialog of every flow: no initial name, default extension "bfk", the recording
// filter, overwrite confirmation and no read-only check box.
std::optional<std::string> ChooseSaveFile(UserPrompts& prompts);

// The pointer and wrap flag, each read as ReadReply does into a zeroed buffer (a camera that
// does not answer gives zeros). Throws FTDException and FlashReplyError.
FlashPointerReply ReadPointerAndWrap(FTD2xx& link, const CameraKind& kind);

// Step B: the pointer and wrap flag; an empty flash ("Флеш-память камеры пуста") closes the
// dialog with the cancel result and gives nothing.
std::optional<FlashPointerReply> QueryFlashPointer(CopyState& state);

}  // namespace bf
