#include "mainwindow/SliderMoveEnd.h"

#include <QKeyEvent>
#include <QSlider>

namespace bf::ui {
namespace {

bool MovesSlider(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
      return true;
    default:
      return false;
  }
}

}  // namespace

SliderMoveEnd::SliderMoveEnd(QSlider* slider, std::function<void()> onEnded,
                             std::unique_ptr<QuietTimer> quiet)
    : QObject(slider),
      slider_(slider),
      onEnded_(std::move(onEnded)),
      quiet_(quiet ? std::move(quiet) : MakeSingleShotQuietTimer(kQuietMs)) {
  slider_->installEventFilter(this);
  connect(slider_, &QSlider::actionTriggered, this, [this] { OnAction(); });
  // A drag takes its last position while the slider handles the button's release, so its end
  // is the release signal rather than the release event.
  connect(slider_, &QSlider::sliderReleased, this, [this] {
    if (!mouseHeld_) return;
    mouseHeld_ = false;
    End();
  });
}

bool SliderMoveEnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched != slider_) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      OnKeyPress(static_cast<QKeyEvent*>(event)->key());
      break;
    case QEvent::KeyRelease:
      OnKeyRelease(static_cast<QKeyEvent*>(event)->key());
      break;
    case QEvent::FocusOut:
      // The key's release will go to another widget.
      if (heldKey_ != 0) EndKeyMove();
      break;
    case QEvent::MouseButtonPress:
      mouseHeld_ = true;
      break;
    case QEvent::MouseButtonRelease:
      // Page steps from a press on the groove are all taken by now; a drag ends below.
      if (mouseHeld_ && !slider_->isSliderDown()) {
        mouseHeld_ = false;
        End();
      }
      break;
    default:
      break;
  }
  return false;
}

void SliderMoveEnd::OnKeyPress(int key) {
  if (!MovesSlider(key)) return;
  if (key == heldKey_) {
    // Auto-repeat, whatever its release claimed: the same move goes on.
    releasePending_ = false;
    quiet_->Stop();
    return;
  }
  // Another key starts a move of its own; the one before it has ended.
  if (heldKey_ != 0) EndKeyMove();
  heldKey_ = key;
}

void SliderMoveEnd::OnKeyRelease(int key) {
  // Every release is taken alike: X11 flags some auto-repeat releases as genuine ones.
  if (key != heldKey_) return;
  releasePending_ = true;
  quiet_->Start([this] {
    if (releasePending_) EndKeyMove();
  });
}

void SliderMoveEnd::EndKeyMove() {
  quiet_->Stop();
  heldKey_ = 0;
  releasePending_ = false;
  End();
}

void SliderMoveEnd::OnAction() {
  // A move with neither a key nor a button held (the wheel) has ended as soon as it is made.
  if (heldKey_ == 0 && !mouseHeld_) End();
}

void SliderMoveEnd::End() {
  if (onEnded_) onEnded_();
}

}  // namespace bf::ui
