#pragma once
// How soon the window shows a change: a ticker thread asks for a repaint of a widget every
// period, on a fixed schedule, by posting update() to the GUI thread (as the link thread posts a
// frame or progress), and each request is timed from the moment it was made to the first paint
// of the widget after the GUI thread took it. A GUI thread blocked for a second thus shows as a
// hundred late requests, the first of them a second late, whatever the window was doing. The
// probe also times how late each tick of a timer of the GUI thread's own comes (the event loop's
// lag). Wall-clock (steady) time, since that is what the operator sees.
//
// Threads: construction, Start, Stop and the figures on the GUI thread; the ticker thread only
// posts (the request's time travels inside the posted call).
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <thread>
#include <vector>

namespace bf::bench {

// Largest value and 99th percentile of a set of samples in milliseconds.
struct SampleFigures {
  std::size_t count = 0;
  double maxMs = 0;
  double p99Ms = 0;

  static SampleFigures Of(std::vector<double> samples) {
    SampleFigures f;
    f.count = samples.size();
    if (samples.empty()) return f;
    std::sort(samples.begin(), samples.end());
    f.maxMs = samples.back();
    // The nearest-rank percentile: the smallest sample at or above 99 % of them.
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(f.count)));
    f.p99Ms = samples[std::clamp<std::size_t>(rank, 1, f.count) - 1];
    return f;
  }
};

class RepaintProbe final : public QObject {
 public:
  RepaintProbe(QWidget& target, int periodMs) : target_(target), period_(periodMs) {
    lagTimer_.setTimerType(Qt::PreciseTimer);
    lagTimer_.setInterval(periodMs);
    QObject::connect(&lagTimer_, &QTimer::timeout, this, [this] { TimerTick(); });
    target_.installEventFilter(this);
  }
  ~RepaintProbe() override {
    StopTicker();
    target_.removeEventFilter(this);
  }
  RepaintProbe(const RepaintProbe&) = delete;
  RepaintProbe& operator=(const RepaintProbe&) = delete;

  void Start() {
    repaintMs_.clear();
    lagMs_.clear();
    awaitingPaint_.clear();
    posted_ = 0;
    taken_ = 0;
    lastTick_ = Clock::now();
    lagTimer_.start();
    running_ = true;
    ticker_ = std::thread([this] { Ticker(); });
  }
  // Requests still on their way or waiting for a paint a short while after the ticker stops
  // count with the time they have waited: a window that never paints again must not look
  // responsive.
  void Stop() {
    StopTicker();
    lagTimer_.stop();
    const auto limit = Clock::now() + std::chrono::seconds(1);
    while ((taken_ < posted_ || !awaitingPaint_.empty()) && Clock::now() < limit) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const Clock::time_point now = Clock::now();
    for (Clock::time_point asked : awaitingPaint_) repaintMs_.push_back(MsBetween(asked, now));
    awaitingPaint_.clear();
    // Posted calls not taken by now: the ticker made one a period, the last just before it
    // stopped.
    for (long k = 0; k < posted_ - taken_; ++k) {
      repaintMs_.push_back(MsBetween(stoppedAt_ - period_ * k, now));
    }
  }

  SampleFigures Repaints() const { return SampleFigures::Of(repaintMs_); }
  SampleFigures TimerLag() const { return SampleFigures::Of(lagMs_); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &target_ && event->type() == QEvent::Paint && !awaitingPaint_.empty()) {
      const Clock::time_point now = Clock::now();
      for (Clock::time_point asked : awaitingPaint_) repaintMs_.push_back(MsBetween(asked, now));
      awaitingPaint_.clear();
    }
    return false;
  }

 private:
  using Clock = std::chrono::steady_clock;

  static double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
  }

  // Ticker thread.
  void Ticker() {
    Clock::time_point next = Clock::now();
    while (running_) {
      next += period_;
      std::this_thread::sleep_until(next);
      const Clock::time_point asked = Clock::now();
      ++posted_;
      QMetaObject::invokeMethod(
          this,
          [this, asked] {
            ++taken_;
            awaitingPaint_.push_back(asked);
            target_.update();
          },
          Qt::QueuedConnection);
    }
    stoppedAt_ = Clock::now();
  }

  void StopTicker() {
    running_ = false;
    if (ticker_.joinable()) ticker_.join();
  }

  void TimerTick() {
    const Clock::time_point now = Clock::now();
    lagMs_.push_back(
        std::max(0.0, MsBetween(lastTick_, now) - static_cast<double>(period_.count())));
    lastTick_ = now;
  }

  QWidget& target_;
  const std::chrono::milliseconds period_;
  QTimer lagTimer_;
  std::thread ticker_;
  std::atomic<bool> running_{false};
  std::atomic<long> posted_{0};
  long taken_ = 0;                 // GUI thread
  Clock::time_point stoppedAt_{};  // ticker thread until joined
  Clock::time_point lastTick_{};   // GUI thread
  std::vector<Clock::time_point> awaitingPaint_;
  std::vector<double> repaintMs_;
  std::vector<double> lagMs_;
};

}  // namespace bf::bench
