#include "shell/QtGuiQueue.h"

#include <QThread>
#include <exception>

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
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      &receiver_,
      [this, &fn, &failure] {
        if (closed_.load()) return;
        try {
          fn();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace bf::ui
