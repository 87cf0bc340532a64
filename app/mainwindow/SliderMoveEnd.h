#pragma once
#include <QObject>
#include <functional>
#include <memory>

#include "mainwindow/QuietTimer.h"

class QSlider;

namespace bf::ui {

// Tells once when a move of a slider has ended, as the classic trackbar's "scroll ended" does:
// when the key that moved it has been let go, when the mouse button is let go after a drag or a
// press on the groove, and at once after a wheel step. The slider moves itself in between; its
// intermediate positions are not reported.
// A held key repeats as release-press pairs, and X11 marks only some of those releases as
// auto-repeat, so a release counts as the end only when the same key is not pressed again
// within a short quiet time (kQuietMs). Owned by the slider; GUI thread only.
class SliderMoveEnd : public QObject {
  Q_OBJECT

 public:
  // Longer than the gap between the release and the press of one auto-repeat, and short
  // enough to pass unnoticed after a single step.
  static constexpr int kQuietMs = 120;

  // A null timer is a real one of kQuietMs.
  SliderMoveEnd(QSlider* slider, std::function<void()> onEnded,
                std::unique_ptr<QuietTimer> quiet = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnAction();
  void OnKeyPress(int key);
  void OnKeyRelease(int key);
  // The held key's move ends now (its quiet time, if running, is dropped).
  void EndKeyMove();
  void End();

  QSlider* slider_;
  std::function<void()> onEnded_;
  std::unique_ptr<QuietTimer> quiet_;
  int heldKey_ = 0;              // the key that moves the slider, or 0
  bool releasePending_ = false;  // heldKey_ was released and its quiet time runs
  bool mouseHeld_ = false;       // a mouse button went down on the slider
};

}  // namespace bf::ui
