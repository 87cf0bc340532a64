#pragma once
#include <QObject>
#include <atomic>

#include "host/GuiQueue.h"

namespace bf::ui {

// The GuiQueue of the window: calls are queued to the GUI thread's event loop (Ask waits for
// its call to have run), never run in a loop of their own. Calls that arrive after Close(),
// or after this object is gone, are dropped; Ask then returns without running its call.
//
// Threads: constructed and closed on the GUI thread; Post and Ask from any thread.
class QtGuiQueue final : public GuiQueue {
 public:
  QtGuiQueue();
  ~QtGuiQueue() override;
  QtGuiQueue(const QtGuiQueue&) = delete;
  QtGuiQueue& operator=(const QtGuiQueue&) = delete;

  void Post(std::function<void()> fn) override;
  void Ask(std::function<void()> fn) override;
  // GUI thread. Drops every call from now on (the window is going away).
  void Close() { closed_.store(true); }

 private:
  QObject receiver_;  // lives on the GUI thread; its calls die with it
  std::atomic<bool> closed_{false};
};

}  // namespace bf::ui
