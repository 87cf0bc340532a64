#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

#include "recordings/FrameDisplay.h"

namespace bf {
class CBfkPlayer;
}

namespace bf::ui {

// The player window as the recording player drives it: frames and clearing go straight to the
// picture window (which guards its own picture), and each playback position is queued to the
// GUI thread, where onPosition runs with it. Called with the player's lock held, from the GUI
// thread or the playback timer thread.
class PlayerDisplay final : public FrameDisplay {
 public:
  PlayerDisplay(CBfkPlayer& window, QObject* receiver, std::function<void(uint32_t)> onPosition)
      : window_(window), receiver_(receiver), onPosition_(std::move(onPosition)) {}

  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void ClearDisplay() override;
  void PostPosition(uint32_t position) override;

 private:
  CBfkPlayer& window_;
  QPointer<QObject> receiver_;
  std::function<void(uint32_t)> onPosition_;
};

}  // namespace bf::ui
