#pragma once
#include <QObject>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "host/GuiQueue.h"

namespace bf::ui {

// The GuiQueue of the window: calls are queued to the GUI thread's event loop (Ask waits for
// its call to have run), never run in a loop of their own. Calls that arrive after Close(),
// or after this object is gone, are dropped; Ask then returns without running its call.
//
// The calls themselves are handed over in a queue of our own under a standard mutex; the event
// posted to Qt only says that calls wait. So every hand-over between the threads is one the
// standard library (and the race checker) sees, whatever Qt's own locks are.
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
  // GUI thread. Drops every call from now on (the window is going away), those still waiting
  // included: an Ask waiting for its call returns without it.
  void Close();

 private:
  // Lives on the GUI thread and runs the waiting calls when Qt delivers its event.
  class Receiver final : public QObject {
   public:
    explicit Receiver(QtGuiQueue& queue) : queue_(queue) {}

   protected:
    void customEvent(QEvent*) override { queue_.RunWaiting(); }

   private:
    QtGuiQueue& queue_;
  };

  void RunWaiting();

  std::atomic<bool> closed_{false};
  std::mutex mutex_;
  std::deque<std::function<void()>> waiting_;  // guarded by mutex_
  Receiver receiver_{*this};                   // last: its events die with it
};

}  // namespace bf::ui
