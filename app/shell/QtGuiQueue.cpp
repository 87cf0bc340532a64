#include "shell/QtGuiQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <exception>
#include <future>
#include <memory>

namespace bf::ui {

QtGuiQueue::QtGuiQueue() = default;
QtGuiQueue::~QtGuiQueue() = default;

void QtGuiQueue::Post(std::function<void()> fn) {
  if (closed_.load()) return;
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(fn));
  }
  QCoreApplication::postEvent(&receiver_, new QEvent(QEvent::User));
}

void QtGuiQueue::Close() {
  closed_.store(true);
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(waiting_);
  }
  // Destroyed here, outside the lock: an Ask's promise breaks and its caller goes on.
}

void QtGuiQueue::RunWaiting() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard lock(mutex_);
    calls.swap(waiting_);
  }
  for (auto& call : calls) {
    if (!closed_.load()) call();
  }
}

void QtGuiQueue::Ask(std::function<void()> fn) {
  if (closed_.load()) return;
  if (QThread::currentThread() == receiver_.thread()) {
    fn();
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> answer = done->get_future();
  Post([this, &fn, done] {
    try {
      if (!closed_.load()) fn();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  try {
    answer.get();
  } catch (const std::future_error&) {
    // The queue went away with the call unrun: nothing was asked.
  }
}

}  // namespace bf::ui
