#include "mainwindow/PlayerDisplay.h"

#include <QMetaObject>

#include "picture/CBfkPlayer.h"

namespace bf::ui {

bool PlayerDisplay::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  return window_.ShowFrame(header, payload);
}

void PlayerDisplay::ClearDisplay() {
  window_.ClearDisplay();
}

void PlayerDisplay::PostPosition(uint32_t position) {
  // Posted, never sent: the step holds the player's lock, and the handler calls the player.
  // A receiver already gone drops the message.
  QMetaObject::invokeMethod(
      receiver_, [callback = onPosition_, position] { callback(position); }, Qt::QueuedConnection);
}

}  // namespace bf::ui
