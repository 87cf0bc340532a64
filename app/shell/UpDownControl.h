#pragma once
#include <QWidget>

class QToolButton;

namespace bf::ui {

// The two-arrow spin control: an up and a down arrow over a position in [minimum, maximum].
// The up arrow (or the Up key while focused) raises the position by one, the down arrow lowers
// it. Each completed press reports scrollEnded() after positionChanged(), as the classic
// control ends every scroll with an end-of-scroll notification. GUI thread only.
class UpDownControl : public QWidget {
  Q_OBJECT

 public:
  explicit UpDownControl(QWidget* parent = nullptr);

  void setRange(int minimum, int maximum);
  void setPosition(int position);  // clamped; emits nothing
  int position() const { return position_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

 signals:
  void positionChanged(int position);
  void scrollEnded();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);

  QToolButton* up_;
  QToolButton* down_;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
};

}  // namespace bf::ui
