#pragma once
#include <functional>
#include <memory>

namespace bf::ui {

// A one-shot wait for quiet, such as the pause after a key's release that tells a let-go key
// from keyboard auto-repeat. Start (again) arms it; Stop disarms it; when it runs out unstopped
// it calls the function given to the last Start. Tests fire it by hand. GUI thread only.
class QuietTimer {
 public:
  virtual ~QuietTimer() = default;
  virtual void Start(std::function<void()> elapsed) = 0;
  virtual void Stop() = 0;
};

// Makes the timers of a window's controls; empty means real timers.
using QuietTimerFactory = std::function<std::unique_ptr<QuietTimer>()>;

// A real QTimer of ms milliseconds.
std::unique_ptr<QuietTimer> MakeSingleShotQuietTimer(int ms);

}  // namespace bf::ui
