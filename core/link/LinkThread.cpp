#include "link/LinkThread.h"

#include <exception>

namespace bf {

LinkThread::LinkThread() : thread_([this] { Run(); }) {}

LinkThread::~LinkThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void LinkThread::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({std::move(job), false});
  }
  wake_.notify_all();
}

void LinkThread::PostRequest(std::function<void()> request) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({std::move(request), true});
  }
  wake_.notify_all();
}

void LinkThread::RunOne(std::function<void()>& job) {
  try {
    job();
  } catch (...) {
    // Jobs show their failures to the operator themselves; nothing is left to do with it here,
    // and the thread must go on serving the window.
  }
}

void LinkThread::TakeRequests() {
  for (;;) {
    std::function<void()> request;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty() || !queue_.front().request) return;
      request = std::move(queue_.front().job);
      queue_.pop_front();
      ++nested_;
    }
    RunOne(request);
    request = nullptr;
    std::lock_guard lock(mutex_);
    --nested_;
  }
}

void LinkThread::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything posted before has run
    std::function<void()> job = std::move(queue_.front().job);
    queue_.pop_front();
    ++running_;
    lock.unlock();
    RunOne(job);
    job = nullptr;  // what the job holds goes before the window hears that all is done
    lock.lock();
    --running_;
    if (queue_.empty()) idle_.notify_all();
  }
}

void LinkThread::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return running_ == 0 && queue_.empty(); });
}

bool LinkThread::NothingWaiting() const {
  std::lock_guard lock(mutex_);
  return queue_.empty() && nested_ == 0;
}

bool LinkThread::Idle() const {
  std::lock_guard lock(mutex_);
  return running_ == 0 && queue_.empty();
}

}  // namespace bf
