#pragma once
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "flash/CopySession.h"
#include "host/PostedCalls.h"
#include "host/RequestPoint.h"

namespace bf::cli {

// The copy dialog's part for `bfk copy`: the terminal instead of a window. The main thread is
// the "GUI thread" of the copy: it runs the session, the calls the sector reader posts, the two
// progress timers and Ctrl-C, which counts as Cancel.
//
// Threads: PostToGui may be called from any thread; everything else runs on the main thread.
class ConsoleCopyHost final : public CopyDialogHost, public RequestPoint {
 public:
  // progress: where the progress line goes (stderr), or null for none.
  explicit ConsoleCopyHost(std::FILE* progress) : progress_(progress) {}

  void Attach(CopySession* session) { session_ = session; }
  bool Closed() const { return result_.has_value(); }
  int Result() const { return result_.value_or(0); }

  // Runs posted calls, due timer ticks and a pending Ctrl-C. Never blocks.
  void RunPending();
  // Where the page-addressed copies take the terminal's requests between chunks.
  void TakeRequests() override { RunPending(); }
  // Runs what comes until the session asks to close.
  void RunUntilClosed();
  // Ends the progress line, if one is on the screen.
  void EndProgressLine();

  // Ctrl-C presses counted by the SIGINT handler (which says on stderr what each does); the
  // next RunPending turns the first into Cancel.
  static volatile std::sig_atomic_t interrupted;
  // Whether the progress line is on the screen without its line end, for the handler.
  static volatile std::sig_atomic_t progressLineShown;

  void PostToGui(std::function<void()> fn) override { posted_.Post(std::move(fn)); }
  void StartTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id) override;
  void ShowProgress(const CopyDisplay& display) override;
  void CloseDialog(int result) override { result_ = result; }
  void* ParentWindow() override { return nullptr; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
  };

  std::FILE* progress_;
  CopySession* session_ = nullptr;
  std::optional<int> result_;
  bool cancelled_ = false;
  bool lineShown_ = false;
  std::map<uint32_t, Timer> timers_;
  PostedCalls posted_;
};

// The progress line: bar, bytes, percent, speed and remaining time.
std::string ProgressLine(const CopyDisplay& display);

}  // namespace bf::cli
