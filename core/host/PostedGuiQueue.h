#pragma once
// A GuiQueue over PostedCalls for a "GUI thread" that is not a Qt one (bfk's main thread, a
// test's): the owner runs the queued calls with Calls().RunAll() or waits for them.
//
// Threads: constructed on the owner thread, which is the GUI thread from then on; Post and Ask
// from any thread.
#include <exception>
#include <future>
#include <thread>

#include "host/GuiQueue.h"
#include "host/PostedCalls.h"

namespace bf {

class PostedGuiQueue final : public GuiQueue {
 public:
  PostedGuiQueue() : owner_(std::this_thread::get_id()) {}

  void Post(std::function<void()> fn) override { calls_.Post(std::move(fn)); }

  void Ask(std::function<void()> fn) override {
    if (std::this_thread::get_id() == owner_) {
      fn();
      return;
    }
    std::promise<void> done;
    std::future<void> answer = done.get_future();
    calls_.Post([&fn, &done] {
      try {
        fn();
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
    answer.get();
  }

  PostedCalls& Calls() { return calls_; }

 private:
  std::thread::id owner_;
  PostedCalls calls_;
};

}  // namespace bf
