#include "shell/QtGuiQueue.h"

#include <QThread>
#include <exception>
#include <future>
#include <memory>

namespace bf::ui {

QtGuiQueue::QtGuiQueue() = default;
QtGuiQueue::~QtGuiQueue() = default;

void QtGuiQueue::Post(std::function<void()> fn) {
  if (closed_.load()) return;
  QMetaObject::invokeMethod(
      &receiver_,
      [this, fn = std::move(fn)] {
        if (!closed_.load()) fn();
      },
      Qt::QueuedConnection);
}

void QtGuiQueue::Ask(std::function<void()> fn) {
  if (closed_.load()) return;
  if (QThread::currentThread() == receiver_.thread()) {
    fn();
    return;
  }
  // The answer comes back through a promise of our own rather than a blocking queued
  // connection, so that the hand-over is one the standard library's (and the race checker's)
  // synchronisation sees.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> answer = done->get_future();
  QMetaObject::invokeMethod(
      &receiver_,
      [this, &fn, done] {
        try {
          if (!closed_.load()) fn();
          done->set_value();
        } catch (...) {
          done->set_exception(std::current_exception());
        }
      },
      Qt::QueuedConnection);
  try {
    answer.get();
  } catch (const std::future_error&) {
    // The queue went away with the call unrun: nothing was asked.
  }
}

}  // namespace bf::ui
