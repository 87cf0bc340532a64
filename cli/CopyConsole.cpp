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

void ConsoleCopyHost::StartTimer(uint32_t id, uint32_t periodMs) {
  const auto period = std::chrono::milliseconds(periodMs);
  timers_[id] = Timer{period, Clock::now() + period};
}

void ConsoleCopyHost::StopTimer(uint32_t id) {
  timers_.erase(id);
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
  posted_.RunAll();
  const auto now = Clock::now();
  for (auto it = timers_.begin(); it != timers_.end();) {
    const uint32_t id = it->first;
    Timer& timer = it->second;
    ++it;  // a tick may stop its own timer
    if (timer.due > now) continue;
    timer.due += timer.period;
    if (timer.due <= now) timer.due = now + timer.period;  // never a burst of late ticks
    if (session_ != nullptr) session_->OnTimer(id);
  }
}

void ConsoleCopyHost::RunUntilClosed() {
  // Wakes for posted calls at once; for the timers and Ctrl-C at least every 100 ms.
  constexpr auto kPoll = std::chrono::milliseconds(100);
  while (!Closed()) {
    RunPending();
    if (Closed()) break;
    auto until = Clock::now() + kPoll;
    for (const auto& [id, timer] : timers_) until = std::min(until, timer.due);
    posted_.WaitUntil(until);
  }
}

}  // namespace bf::cli
