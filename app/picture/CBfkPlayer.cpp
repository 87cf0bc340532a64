#include "picture/CBfkPlayer.h"

#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <vector>

#include "frames/OverlayText.h"
#include "frames/RebuildJpeg.h"

namespace bf {

CBfkPlayer::CBfkPlayer(const JpegHeaderTable& table, QWidget* parent)
    : CPictureControl(/*autoLoad=*/true, parent), table_(table) {}

CBfkPlayer::~CBfkPlayer() = default;

bool CBfkPlayer::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  std::lock_guard lock(displayMutex_);
  shown_ = header;
  InvalidateOverlayStrip();
  const std::vector<uint8_t> jpeg = RebuildJpeg(table_, header, payload);
  return ShowJpegLocked(jpeg.data(), jpeg.size());
}

void CBfkPlayer::ClearDisplay() {
  {
    std::lock_guard lock(displayMutex_);
    shown_.bytes[0] = 0;
    shown_.bytes[1] = 0;
    picture_.Release();
  }
  // The parent's erase is what empties the area on screen; without it the stale pixels stay.
  EraseOnNextPaint();
}

FrameHeader CBfkPlayer::ShownHeader() const {
  std::lock_guard lock(displayMutex_);
  return shown_;
}

void CBfkPlayer::InvalidateOverlayStrip() {
  // The overlay lies outside the picture's rectangle, so its strip is repainted with every
  // frame. Its size comes from the widget, which only the GUI thread may ask.
  const auto strip = [this] { update(0, 0, width(), fontMetrics().height()); };
  if (QThread::currentThread() == thread()) {
    strip();
  } else {
    QMetaObject::invokeMethod(this, strip, Qt::QueuedConnection);
  }
}

void CBfkPlayer::PaintOverlay(QPainter& painter) const {
  const QString text = QString::fromStdString(BuildOverlayText(shown_));
  if (text.isEmpty()) return;
  const QFontMetrics metrics = painter.fontMetrics();
  // Opaque text: the background covers exactly the text's extent, trailing spaces included.
  const QRect box(0, 0, metrics.horizontalAdvance(text), metrics.height());
  painter.fillRect(box, palette().color(QPalette::Button));
  painter.setPen(palette().color(QPalette::ButtonText));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void CBfkPlayer::PaintDisplay(QPainter& painter, const QRect& client) {
  std::lock_guard lock(displayMutex_);
  PaintPicture(painter, client);
  PaintOverlay(painter);
}

void CBfkPlayer::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  ErasePendingBackground(painter, event->region());
  PaintDisplay(painter, rect());
}

}  // namespace bf
