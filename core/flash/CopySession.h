#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flash/CopyOutput.h"
#include "flash/CopyPlan.h"
#include "flash/CopyVerify.h"
#include "flash/RangeChooser.h"
#include "host/RequestPoint.h"
#include "host/UserPrompts.h"
#include "link/FTD2xx.h"

namespace bf {

// The copy of the camera's flash into a recording file, as the copy dialog ("Копирование...")
// runs it. CopySession is the dialog's presenter: it owns the whole flow and its state; the Qt
// dialog and `bfk copy` only render CopyDisplay and forward the person's input.
//
// Threads. The flow runs on one thread, the copying thread: the window's link thread, or the
// thread of `bfk`. The display is made on the thread that shows it (the GUI thread), from the
// counters the copying thread keeps in atomics. How a host drives it:
//   1. construct it with the link, the prompts, the host and the range chooser (any thread);
//   2. call Run() on the copying thread: it asks the camera for its type, runs that type's flow
//      to its end and returns once CopyDialogHost::CloseDialog has been called. The prompts and
//      the range chooser are called on the copying thread; a window's implementations ask the
//      person on the GUI thread while the copying thread waits;
//   3. while the ticks the session asked for run (CopyDialogHost::StartTicks), call
//      OnTick(clock) once a second on the GUI thread; it updates the display and passes it to
//      CopyDialogHost::ShowProgress;
//   4. forward the Cancel button, Escape and a window-close request to Cancel() (any thread):
//      the copy ends after the chunk under way;
//   5. once Run() has returned, read Summary() and destroy the session (any thread that is
//      ordered after the copying thread's end, e.g. through a queued call).

// Results the dialog closes with.
inline constexpr int kCopyResultOk = 1;
inline constexpr int kCopyResultCancel = 2;

// How the progress display counts its elapsed time: the page-addressed copies add the measured
// transfer time of each chunk, so the speed shown is the transfer speed; the sector copy counts
// one second per tick.
enum class CopyClock { TransferTime, TickSeconds };
inline constexpr uint32_t kCopyTickPeriodMs = 1000;

// What the copy dialog shows. The texts start as the dialog template has them.
struct CopyDisplay {
  int position = 0;                 // progress bar, 0..1000
  std::string elapsed = "00:00";    // "Прошло времени:"
  std::string remaining = "00:00";  // "Осталось:" (kept as it was while the speed is 0)
  std::string speed = "0000";       // "Скорость:", KiB per second
  // The numbers behind the texts, for hosts that show more (bfk's progress line).
  uint32_t doneBytes = 0;
  uint32_t totalBytes = 0;
  uint32_t elapsedSeconds = 0;
  uint32_t speedKiBPerSecond = 0;
  uint32_t remainingSeconds = 0;  // meaningful once the speed is non-zero
};

// What the session needs of the window that shows it.
class CopyDialogHost {
 public:
  virtual ~CopyDialogHost() = default;
  // Copying thread. From now on, until StopTicks, the host calls CopySession::OnTick(clock)
  // every kCopyTickPeriodMs on the thread that shows the display.
  virtual void StartTicks(CopyClock clock) = 0;
  virtual void StopTicks() = 0;
  // The thread that calls OnTick. Shows the display (only when something changed).
  virtual void ShowProgress(const CopyDisplay& display) = 0;
  // Copying thread, exactly once, the flow's last call: the dialog may close with result once
  // Run() has returned.
  virtual void CloseDialog(int result) = 0;
};

// One CMD_READ_FLASH exchange of the copy.
struct CopyChunk {
  uint32_t start = 0;      // first address of the request, in the camera type's address form
  uint32_t asked = 0;      // bytes the request asked for
  uint32_t received = 0;   // bytes that arrived
  uint32_t fileIndex = 0;  // 0: the chosen file; 1: the second file of a range past the end
};

// Per-chunk news for hosts that report more than the dialog shows (bfk's copy report).
class CopyProgressSink {
 public:
  virtual ~CopyProgressSink() = default;
  // Called on the copying thread. Must be quick and must not touch widgets.
  virtual void OnChunk(const CopyChunk& chunk) = 0;
};

// A chunk whose reads never agreed (copies with verification): where it is in which file.
struct UnverifiedChunk {
  uint32_t fileIndex = 0;  // as in CopySummary::files of a split copy: 0 the first
  uint64_t offset = 0;     // in that file
  uint64_t length = 0;
};

// How a session ended.
enum class CopyOutcome {
  NotStarted,
  Running,
  Completed,   // the whole range was requested; see CopySummary::Complete for the bytes
  Cancelled,   // Cancel ended the copy; every whole chunk received is kept (see files)
  Failed,      // a link, file or address failure, or a reply shorter or longer than asked,
               // ended it (failure holds the text shown)
  WrongType,   // the camera type reply was not 0, 1 or 2 (or did not come)
  FlashEmpty,  // "Флеш-память камеры пуста"
  Declined,    // the person declined the range or the file
  NoFrame,     // no frame after the write pointer, or a range boundary without a frame
  Refused,     // a verify or resume whose record no longer fits the camera's type, pointer or
               // wrap flag (failure holds the text shown)
};

// An existing file that a copy which did not complete left as it was, and the file beside it
// that holds the whole chunks received instead (also listed in CopySummary::files; empty when
// nothing came).
struct KeptFile {
  std::string chosen;
  std::string partial;
};

struct CopySummary {
  CopyOutcome outcome = CopyOutcome::NotStarted;
  int cameraType = -1;         // the camera's reply, -1 before it came
  uint32_t totalBytes = 0;     // TotalBytes: what the flow expected to copy
  uint32_t doneBytes = 0;      // DoneBytes: the bytes of the whole chunks written
  uint64_t bytesAsked = 0;     // sum over the requests sent
  uint64_t bytesReceived = 0;  // sum of what arrived
  uint32_t chunks = 0;
  // Requests answered with fewer bytes than asked; such a reply ends the copy as a failure and
  // is neither written nor counted in chunks.
  uint32_t shortChunks = 0;
  std::vector<std::string> files;  // files written and in place, in order
  // A copy that did not complete never replaces an existing file: these it left as they were.
  std::vector<KeptFile> keptFiles;
  std::string failure;  // the failure's message, when the outcome is Failed
  int result = 0;       // the result the dialog closed with, 0 while open
  // The copy record beside the (first) file kept, or why it could not be written.
  std::string recordFile;
  std::string recordFailure;
  bool verified = false;      // every chunk read at least twice alike (verification only)
  uint32_t rereadChunks = 0;  // chunks whose first two reads differed
  std::vector<UnverifiedChunk> unverifiedChunks;
  // A continued copy: the bytes taken from the unfinished copy instead of the camera, and the
  // file they came from.
  uint64_t resumedBytes = 0;
  std::string resumedFrom;
  // A comparison with the flash (CopyPlanMode::Verify): one entry per file of the record, and
  // whether every byte of every file is what the flash gives now.
  std::vector<ComparedFile> compared;
  bool comparedWhole = false;  // read to the range's end, or an unfinished copy's
  bool copyMatches = false;

  // Every byte asked for arrived and went to disk: the only outcome worth an exit status 0.
  bool Complete() const {
    return outcome == CopyOutcome::Completed && bytesReceived == bytesAsked &&
           doneBytes == totalBytes;
  }
};

struct CopyServices {
  FTD2xx& link;          // borrowed; used on the copying thread while Run() runs
  UserPrompts& prompts;  // called on the copying thread
  CopyDialogHost& host;
  RangeChooser& rangeChooser;            // the type 2 range dialog, called on the copying thread
  CopyProgressSink* progress = nullptr;  // optional
  CopyOutputFactory makeOutput = {};     // empty: files through the replacing writer
  // Reads the camera's clock for the copy record before the flow's first command.
  bool readCameraClock = false;
  // Reads every chunk twice (see CopyState::ReadRequestedChunk).
  bool verify = false;
  // Repeats the copy a record describes instead of asking for a range and a file: compares the
  // file with the flash, or goes on with an unfinished copy. Copied by the session.
  const CopyPlan* plan = nullptr;
  // When the file chosen in the save dialog holds an unfinished copy of the same flash, asks
  // whether to go on with it (the window's "Сохранить на диск...").
  bool offerResume = false;
  // Called on the copying thread after every chunk, for a host whose copying thread has
  // nothing else to do meanwhile (bfk's ticks and Ctrl-C, a test's operator); null: nothing.
  RequestPoint* requests = nullptr;
};

class CopyState;  // the flows' shared state (flash/CopyState.h)

class CopySession {
 public:
  explicit CopySession(const CopyServices& services);
  // After Run() has returned (or when it never ran). A file still open is kept as an unfinished
  // copy's (CopyOutput::CommitUnfinished).
  ~CopySession();
  CopySession(const CopySession&) = delete;
  CopySession& operator=(const CopySession&) = delete;

  // Copying thread. The whole readout, on the first call only; later calls do nothing.
  void Run();
  // The thread that shows the display. A tick of the clock the session started; updates the
  // display and shows it.
  void OnTick(CopyClock clock);
  // Any thread. Clears Running and nothing else; before Run(), the copy ends at once when it
  // comes to run, with nothing sent to the camera.
  void Cancel();
  // Any thread, a signal handler included (lock-free atomic stores only). Cancel that does not
  // wait for the chunk under way: its reply is given up within one library read (200 ms), and
  // the copy ends as cancelled with the whole chunks before it.
  void StopAtOnce();

  // The thread that calls OnTick.
  const CopyDisplay& Display() const;
  // Once Run() has returned.
  bool Started() const;
  bool Finished() const;  // CloseDialog has been called
  CopySummary Summary() const;
  // Any thread.
  bool Running() const;
  uint32_t DoneBytes() const;
  uint32_t TotalBytes() const;
  uint32_t ElapsedMs() const;

 private:
  std::unique_ptr<CopyState> state_;
};

// Formats s seconds as "%M:%S" of the duration: minutes of the hour, then seconds, two digits
// each; hours are not shown (3,600 s is "00:00").
std::string FormatDuration(uint32_t seconds);

// One tick's update of the display from the counters. With TickSeconds the tick itself counts
// 1000 ms into elapsedMs first; with TransferTime nothing changes while elapsedMs is below 1000.
// Returns whether the display changed. Never divides by a zero total or a zero speed.
bool UpdateProgress(CopyClock clock, uint32_t& elapsedMs, uint32_t doneBytes, uint32_t totalBytes,
                    CopyDisplay& display);

}  // namespace bf
