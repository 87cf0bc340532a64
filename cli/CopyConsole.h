#pragma once
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "flash/CopySession.h"
#include "host/PostedGuiQueue.h"

namespace bf::cli {

// The copy dialog's part for `bfk copy` and `bfk verify`: the terminal instead of a window. The
// session runs on a link thread; the main thread is the "GUI thread" of the copy: it runs the
// calls queued to it (the questions of GuiThreadPrompts over Queue(), the ticks asked for, the
// end), the progress ticks and Ctrl-C, which counts as Cancel.
//
// Threads: constructed on the main thread; StartTicks, StopTicks and CloseDialog come from the
// copying thread and are queued; everything else runs on the main thread.
class ConsoleCopyHost final : public CopyDialogHost {
 public:
  // progress: where the progress line goes (stderr), or null for none.
  explicit ConsoleCopyHost(std::FILE* progress) : progress_(progress) {}

  // The way from the copying thread to the main thread.
  GuiQueue& Queue() { return queue_; }

  void Attach(CopySession* session) { session_ = session; }
  bool Closed() const { return result_.has_value(); }
  int Result() const { return result_.value_or(0); }

  // Runs queued calls, due ticks and a pending Ctrl-C. Never blocks.
  void RunPending();
  // Runs what comes until the session asks to close.
  void RunUntilClosed();
  // Ends the progress line, if one is on the screen.
  void EndProgressLine();

  // Ctrl-C presses counted by the SIGINT handler (which says on stderr what each does); the
  // next RunPending turns the first into Cancel.
  static volatile std::sig_atomic_t interrupted;
  // Whether the progress line is on the screen without its line end, for the handler.
  static volatile std::sig_atomic_t progressLineShown;

  void StartTicks(CopyClock clock) override;
  void StopTicks() override;
  void ShowProgress(const CopyDisplay& display) override;
  void CloseDialog(int result) override;

 private:
  using Clock = std::chrono::steady_clock;
  struct Ticks {
    CopyClock clock;
    Clock::time_point due;
  };

  std::FILE* progress_;
  CopySession* session_ = nullptr;
  std::optional<int> result_;
  bool cancelled_ = false;
  bool lineShown_ = false;
  std::optional<Ticks> ticks_;
  PostedGuiQueue queue_;
};

// The progress line: bar, bytes, percent, speed and remaining time.
std::string ProgressLine(const CopyDisplay& display);

}  // namespace bf::cli
