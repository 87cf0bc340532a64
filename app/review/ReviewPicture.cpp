#include "review/ReviewPicture.h"

#include <QPainter>
#include <vector>

#include "frames/OverlayText.h"
#include "frames/RebuildJpeg.h"

namespace bf::ui {

ReviewPicture::ReviewPicture(const JpegHeaderTable& table, QWidget* parent)
    : QWidget(parent), table_(table) {
  setMinimumSize(160, 120);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ReviewPicture::SetFrame(const FrameHeader& header, std::span<const uint8_t> payload,
                             Rotation rotation) {
  shown_ = header;
  picture_.Release();
  if (!payload.empty()) {
    const std::vector<uint8_t> jpeg = RebuildJpeg(table_, header, payload);
    if (!jpeg.empty() && picture_.LoadFromMemory(jpeg.data(), jpeg.size())) {
      picture_.RotateFlip(rotation);
    }
  }
  update();
}

QString ReviewPicture::OverlayLine() const {
  return QString::fromStdString(BuildOverlayText(shown_));
}

QRect ReviewPicture::PictureRect() const {
  const int top = fontMetrics().height();
  const QRect area(0, top, width(), std::max(0, height() - top));
  if (!picture_.HasImage() || area.isEmpty()) return {};
  const QSize scaled = picture_.GetSize().scaled(area.size(), Qt::KeepAspectRatio);
  return QRect(area.x() + (area.width() - scaled.width()) / 2,
               area.y() + (area.height() - scaled.height()) / 2, scaled.width(), scaled.height());
}

void ReviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QRect target = PictureRect();
  if (!target.isEmpty()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_.Image());
  }
  const QString line = OverlayLine();
  const QRect strip(0, 0, width(), fontMetrics().height());
  painter.fillRect(strip, palette().color(QPalette::Button));
  painter.setPen(palette().color(QPalette::ButtonText));
  painter.drawText(strip, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
}

}  // namespace bf::ui
