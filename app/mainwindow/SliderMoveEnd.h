#pragma once
#include <QObject>
#include <functional>

class QSlider;

namespace bf::ui {

// Tells once when a move of a slider has ended, as the classic trackbar's "scroll ended" does:
// when the key that moved it is released (the releases of keyboard auto-repeat do not count),
// when the mouse button is let go after a drag or a press on the groove, and at once after a
// wheel step. The slider moves itself in between; its intermediate positions are not reported.
// Owned by the slider; GUI thread only.
class SliderMoveEnd : public QObject {
  Q_OBJECT

 public:
  SliderMoveEnd(QSlider* slider, std::function<void()> onEnded);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnAction();
  void End();

  QSlider* slider_;
  std::function<void()> onEnded_;
  bool keyHeld_ = false;    // a key that moves the slider is down
  bool mouseHeld_ = false;  // a mouse button went down on the slider
};

}  // namespace bf::ui
