#include "mainwindow/QuietTimer.h"

#include <QTimer>

namespace bf::ui {
namespace {

class SingleShotQuietTimer final : public QuietTimer {
 public:
  explicit SingleShotQuietTimer(int ms) {
    timer_.setSingleShot(true);
    timer_.setInterval(ms);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (elapsed_) elapsed_();
    });
  }
  void Start(std::function<void()> elapsed) override {
    elapsed_ = std::move(elapsed);
    timer_.start();
  }
  void Stop() override { timer_.stop(); }

 private:
  QTimer timer_;
  std::function<void()> elapsed_;
};

}  // namespace

std::unique_ptr<QuietTimer> MakeSingleShotQuietTimer(int ms) {
  return std::make_unique<SingleShotQuietTimer>(ms);
}

}  // namespace bf::ui
