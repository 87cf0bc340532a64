#pragma once
#include <functional>

namespace bf {

// The way back from the link thread to the thread that owns the window (or bfk's terminal):
// results, frames and progress are posted; a question to the operator is asked there while the
// asking thread waits for the answer. The window implements it with queued calls, bfk and the
// tests with PostedCalls.
class GuiQueue {
 public:
  virtual ~GuiQueue() = default;
  // Any thread. fn runs later on the GUI thread, after the calls posted before it.
  virtual void Post(std::function<void()> fn) = 0;
  // Any thread. Runs fn on the GUI thread, after the calls posted before it, and returns when it
  // has returned; on the GUI thread itself fn runs at once. An exception fn throws is rethrown
  // here.
  virtual void Ask(std::function<void()> fn) = 0;
};

}  // namespace bf
