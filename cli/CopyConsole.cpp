#include "cli/CopyConsole.h"

#include <algorithm>

namespace bf::cli {

volatile std::sig_atomic_t ConsoleCopyHost::interrupted = 0;
volatile std::sig_atomic_t ConsoleCopyHost::progressLineShown = 0;

namespace {

std::string Clock(uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

std::string ProgressLine(const CopyDisplay& d) {
  constexpr int kBar = 24;
  const int filled = std::clamp(d.position * kBar / 1000, 0, kBar);
  std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(kBar - filled), '.') + "]";
  char text[160];
  std::snprintf(text, sizeof text, " %.1f of %.1f MiB  %3d %%  %u KiB/s  %s",
                d.doneBytes / 1048576.0, d.totalBytes / 1048576.0, d.position / 10,
                d.speedKiBPerSecond,
                d.speedKiBPerSecond != 0 ? (Clock(d.remainingSeconds) + " left").c_str()
                                         : "time left unknown");
  return line + text;
}

void ConsoleCopyHost::StartTicks(CopyClock clock) {
  queue_.Post([this, clock] {
    ticks_ = Ticks{clock, Clock::now() + std::chrono::milliseconds(kCopyTickPeriodMs)};
  });
}

void ConsoleCopyHost::StopTicks() {
  queue_.Post([this] { ticks_.reset(); });
}

void ConsoleCopyHost::CloseDialog(int result) {
  queue_.Post([this, result] { result_ = result; });
}

void ConsoleCopyHost::ShowProgress(const CopyDisplay& display) {
  if (progress_ == nullptr) return;
  // \r and a clear to the end of the line: the line is redrawn in place.
  std::fprintf(progress_, "\r%s\x1b[K", ProgressLine(display).c_str());
  std::fflush(progress_);
  lineShown_ = true;
  progressLineShown = 1;
}

void ConsoleCopyHost::EndProgressLine() {
  if (!lineShown_) return;
  lineShown_ = false;
  // The interrupt handler may have ended it already.
  if (progressLineShown == 0) return;
  progressLineShown = 0;
  std::fputc('\n', progress_);
  std::fflush(progress_);
}

void ConsoleCopyHost::RunPending() {
  if (interrupted != 0 && !cancelled_ && session_ != nullptr) {
    cancelled_ = true;  // the handler has said so on stderr
    EndProgressLine();
    session_->Cancel();
  }
  queue_.Calls().RunAll();
  const auto now = Clock::now();
  if (!ticks_ || ticks_->due > now) return;
  const auto period = std::chrono::milliseconds(kCopyTickPeriodMs);
  ticks_->due += period;
  if (ticks_->due <= now) ticks_->due = now + period;  // never a burst of late ticks
  if (session_ != nullptr) session_->OnTick(ticks_->clock);
}

void ConsoleCopyHost::RunUntilClosed() {
  // Wakes for queued calls at once; for the ticks and Ctrl-C at least every 100 ms.
  constexpr auto kPoll = std::chrono::milliseconds(100);
  while (!Closed()) {
    RunPending();
    if (Closed()) break;
    auto until = Clock::now() + kPoll;
    if (ticks_) until = std::min(until, ticks_->due);
    queue_.Calls().WaitUntil(until);
  }
}

}  // namespace bf::cli
