#include "picture/CPictureControl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QThread>

namespace bf {

CPictureControl::CPictureControl(bool autoLoad, QWidget* parent)
    : QWidget(parent), autoLoad_(autoLoad) {
  // Each new picture repaints exactly the old picture's area; nothing is erased behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

CPictureControl::~CPictureControl() {
  ReleasePicture();
}

bool CPictureControl::ShowJpeg(const uint8_t* bytes, std::size_t length) {
  std::lock_guard lock(displayMutex_);
  return ShowJpegLocked(bytes, length);
}

bool CPictureControl::ShowJpegLocked(const uint8_t* bytes, std::size_t length) {
  // The rectangle of the picture being replaced; empty when there is none, so a first picture
  // appears only at the next repaint.
  const QSize old = picture_.GetSize();
  Invalidate(QRect(offsetX_.load(), offsetY_.load(), old.width(), old.height()));
  if (!picture_.LoadFromMemory(bytes, length)) return false;
  picture_.RotateFlip(rotation_.load());
  return true;
}

void CPictureControl::LoadInitialPicture(int id) {
  EraseOnNextPaint();
  std::lock_guard lock(displayMutex_);
  picture_.LoadFromResource(id);
}

void CPictureControl::Attach(int controlId) {
  if (!autoLoad_ || controlId <= 0 || HasPicture()) return;
  LoadInitialPicture(controlId);
}

void CPictureControl::ReleasePicture() {
  std::lock_guard lock(displayMutex_);
  picture_.Release();
}

void CPictureControl::EraseOnNextPaint() {
  const auto erase = [this] {
    erasePending_ = true;
    update();
  };
  if (QThread::currentThread() == thread()) {
    erase();
  } else {
    QMetaObject::invokeMethod(this, erase, Qt::QueuedConnection);
  }
}

void CPictureControl::SetOffset(int x, int y) {
  offsetX_.store(x);
  offsetY_.store(y);
}

QSize CPictureControl::PictureSize() const {
  std::lock_guard lock(displayMutex_);
  return picture_.GetSize();
}

bool CPictureControl::HasPicture() const {
  std::lock_guard lock(displayMutex_);
  return picture_.HasImage();
}

void CPictureControl::Invalidate(const QRect& rect) {
  if (rect.isEmpty()) return;
  if (QThread::currentThread() == thread()) {
    update(rect);
  } else {
    // The context object drops the call if the control is gone by then.
    QMetaObject::invokeMethod(
        this, [this, rect] { update(rect); }, Qt::QueuedConnection);
  }
}

void CPictureControl::PaintPicture(QPainter& painter, const QRect& client) const {
  if (!picture_.HasImage()) return;
  const QSize size = picture_.GetSize();
  const QRect placed(offsetX_.load(), offsetY_.load(), size.width(), size.height());
  // Natural size when it fits; squeezed into the visible part when it sticks out; an empty
  // intersection reads as all zeros, which draws at natural size at the origin.
  const QRect visible = placed.intersected(client);
  if (visible.isEmpty()) {
    picture_.Draw(painter, 0, 0, 0, 0);
  } else {
    picture_.Draw(painter, visible.x(), visible.y(), visible.x() + visible.width(),
                  visible.y() + visible.height());
  }
}

void CPictureControl::ErasePendingBackground(QPainter& painter, const QRegion& region) {
  if (!erasePending_) return;
  erasePending_ = false;
  for (const QRect& r : region) painter.fillRect(r, palette().color(QPalette::Button));
}

void CPictureControl::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  ErasePendingBackground(painter, event->region());
  std::lock_guard lock(displayMutex_);
  PaintPicture(painter, rect());
}

void CPictureControl::showEvent(QShowEvent* event) {
  erasePending_ = true;
  QWidget::showEvent(event);
}

void CPictureControl::resizeEvent(QResizeEvent* event) {
  erasePending_ = true;
  QWidget::resizeEvent(event);
}

}  // namespace bf
