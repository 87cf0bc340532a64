#pragma once
// Calls posted from any thread, run later on the one thread that owns the queue: how a worker
// thread hands its results to the "GUI thread" of a window that is not a Qt one (bfk's
// terminal, the tests, the benchmarks).
//
// Threads: Post may be called from any thread; RunAll and the waits only on the owner's thread.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace bf {

class PostedCalls {
 public:
  void Post(std::function<void()> fn) {
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(fn));
    }
    wake_.notify_all();
  }

  // Runs what is queued now (not what those calls post in turn); returns how many ran.
  std::size_t RunAll() {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard lock(mutex_);
      batch.swap(calls_);
    }
    for (auto& fn : batch) fn();
    return batch.size();
  }

  // Waits until a call is queued or the time comes; false when none is queued by then.
  template <class TimePoint>
  bool WaitUntil(TimePoint until) {
    std::unique_lock lock(mutex_);
    return wake_.wait_until(lock, until, [this] { return !calls_.empty(); });
  }
  template <class Rep, class Period>
  bool WaitFor(std::chrono::duration<Rep, Period> limit) {
    return WaitUntil(std::chrono::steady_clock::now() + limit);
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !calls_.empty(); });
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> calls_;
};

}  // namespace bf
