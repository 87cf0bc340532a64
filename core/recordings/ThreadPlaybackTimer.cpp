#include "recordings/ThreadPlaybackTimer.h"

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace bf {

namespace {

// The kernel may defer a sleeper's wake-up by its timer slack (50 us by default). While a run
// holds the raised resolution the slack is cut to the minimum.
void ApplyTimerSlack(bool precise) {
#ifdef __linux__
  prctl(PR_SET_TIMERSLACK, precise ? 1UL : 0UL, 0UL, 0UL, 0UL);  // 0: back to the default
#else
  (void)precise;
#endif
}

// Steps must not wait behind ordinary work: a low real-time priority if the system grants it,
// else a better nice value, else as is. A step is short (one frame shown), so it starves nobody.
void RaisePriority() {
#ifdef __linux__
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 1;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
#endif
}

}  // namespace

ThreadPlaybackTimer::ThreadPlaybackTimer() : thread_([this] { Run(); }) {}

ThreadPlaybackTimer::~ThreadPlaybackTimer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    events_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

uint64_t ThreadPlaybackTimer::GridMs() const {
  Clock::time_point now = Clock::now();
  if (std::this_thread::get_id() == thread_.get_id()) now -= lag_;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now - epoch_).count());
}

uint32_t ThreadPlaybackTimer::TimeMs() {
  return static_cast<uint32_t>(GridMs());
}

void ThreadPlaybackTimer::BeginPeriod(uint32_t /*resolutionMs*/) {
  {
    std::lock_guard lock(mutex_);
    ++periods_;
  }
  wake_.notify_all();
}

void ThreadPlaybackTimer::EndPeriod(uint32_t /*resolutionMs*/) {
  {
    std::lock_guard lock(mutex_);
    if (periods_ > 0) --periods_;
  }
  wake_.notify_all();
}

TimerEventId ThreadPlaybackTimer::SetEvent(uint32_t delayMs, uint32_t /*resolutionMs*/,
                                           Callback callback) {
  const TimerCaps caps;
  if (delayMs < caps.periodMin || delayMs > caps.periodMax || !callback) return 0;
  const auto due = epoch_ + std::chrono::milliseconds(GridMs() + delayMs);
  TimerEventId id = 0;
  {
    std::lock_guard lock(mutex_);
    if (stop_) return 0;
    id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    events_.emplace(id, Event{due, std::move(callback)});
  }
  wake_.notify_all();
  return id;
}

void ThreadPlaybackTimer::KillEvent(TimerEventId id) {
  std::unique_lock lock(mutex_);
  events_.erase(id);
  if (std::this_thread::get_id() == thread_.get_id()) return;  // a callback cancelling itself
  settled_.wait(lock, [&] { return running_ != id || id == 0; });
}

void ThreadPlaybackTimer::Run() {
  RaisePriority();
  bool precise = false;
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (precise != (periods_ > 0)) {
      precise = periods_ > 0;
      ApplyTimerSlack(precise);
    }
    auto next = events_.end();
    for (auto it = events_.begin(); it != events_.end(); ++it) {
      if (next == events_.end() || it->second.due < next->second.due) next = it;
    }
    if (next == events_.end()) {
      wake_.wait(lock);
      continue;
    }
    if (Clock::now() < next->second.due) {
      // A copy: while this thread waits, KillEvent may erase the entry the iterator names.
      const Clock::time_point due = next->second.due;
      wake_.wait_until(lock, due);
      continue;  // re-evaluate: the event may have been killed or an earlier one armed
    }
    const TimerEventId id = next->first;
    const Clock::duration lag = Clock::now() - next->second.due;
    lag_ = lag < kMaxCatchUp ? lag : Clock::duration{};
    Callback callback = std::move(next->second.callback);
    events_.erase(next);
    running_ = id;
    lock.unlock();
    callback(id);
    callback = nullptr;
    lock.lock();
    lag_ = {};
    running_ = 0;
    settled_.notify_all();
  }
}

}  // namespace bf
