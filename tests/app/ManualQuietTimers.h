#pragma once
// Quiet timers that run out only when the test says so, and a factory that hands them out.
#include <functional>
#include <memory>
#include <vector>

#include "mainwindow/QuietTimer.h"

namespace bf::test {

class ManualQuietTimer final : public ui::QuietTimer {
 public:
  void Start(std::function<void()> elapsed) override {
    elapsed_ = std::move(elapsed);
    armed_ = true;
  }
  void Stop() override { armed_ = false; }
  bool Armed() const { return armed_; }
  // The quiet time has passed: an armed timer calls back once.
  void RunOut() {
    if (!armed_) return;
    armed_ = false;
    if (elapsed_) elapsed_();
  }

 private:
  std::function<void()> elapsed_;
  bool armed_ = false;
};

// Keeps a view of every timer it made; the timers belong to their users, which outlive it
// in the tests that use it.
class ManualQuietTimers {
 public:
  ui::QuietTimerFactory Factory() {
    return [this] {
      auto timer = std::make_unique<ManualQuietTimer>();
      made_.push_back(timer.get());
      return std::unique_ptr<ui::QuietTimer>(std::move(timer));
    };
  }
  // Before a new window: the timers of the one before are gone.
  void Forget() { made_.clear(); }
  void RunOutAll() {
    for (ManualQuietTimer* timer : made_) timer->RunOut();
  }

 private:
  std::vector<ManualQuietTimer*> made_;
};

}  // namespace bf::test
