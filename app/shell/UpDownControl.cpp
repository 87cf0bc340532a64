#include "shell/UpDownControl.h"

#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

namespace bf::ui {

UpDownControl::UpDownControl(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  setFocusPolicy(Qt::StrongFocus);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  // Auto-repeat moves while held; the end of the scroll comes with the release.
  connect(up_, &QToolButton::pressed, this, [this] { Step(+1); });
  connect(down_, &QToolButton::pressed, this, [this] { Step(-1); });
  connect(up_, &QToolButton::released, this, [this] {
    if (!up_->isDown()) emit scrollEnded();
  });
  connect(down_, &QToolButton::released, this, [this] {
    if (!down_->isDown()) emit scrollEnded();
  });
}

void UpDownControl::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  position_ = std::clamp(position_, minimum_, maximum_);
}

void UpDownControl::setPosition(int position) {
  position_ = std::clamp(position, minimum_, maximum_);
}

void UpDownControl::Step(int delta) {
  const int next = std::clamp(position_ + delta, minimum_, maximum_);
  if (next == position_) return;
  position_ = next;
  emit positionChanged(position_);
}

void UpDownControl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
    Step(event->key() == Qt::Key_Up ? +1 : -1);
    emit scrollEnded();
    return;
  }
  QWidget::keyPressEvent(event);
}

void UpDownControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

}  // namespace bf::ui
