#include "review/ReviewPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <vector>

#include "frames/OverlayText.h"
#include "frames/RebuildJpeg.h"

namespace bf::ui {

namespace {

// One wheel notch zooms by this factor, up to this many times the fitted size.
constexpr double kZoomPerNotch = 1.25;
constexpr double kMostZoom = 16.0;

}  // namespace

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

QRectF ReviewPicture::FittedRect() const {
  const int top = fontMetrics().height();
  const QRect area(0, top, width(), std::max(0, height() - top));
  if (!picture_.HasImage() || area.isEmpty()) return {};
  const QSize scaled = picture_.GetSize().scaled(area.size(), Qt::KeepAspectRatio);
  return QRectF(area.x() + (area.width() - scaled.width()) / 2,
                area.y() + (area.height() - scaled.height()) / 2, scaled.width(), scaled.height());
}

QRectF ReviewPicture::ShownRect(double zoom, QPointF pan) const {
  const QRectF fitted = FittedRect();
  if (fitted.isEmpty()) return {};
  QRectF shown(0, 0, fitted.width() * zoom, fitted.height() * zoom);
  shown.moveCenter(fitted.center() + pan);
  return shown;
}

QPointF ReviewPicture::ClampedPan(double zoom, QPointF pan) const {
  // A zoomed picture always covers the whole of the fitted one's place.
  const QRectF fitted = FittedRect();
  const double x = fitted.width() * (zoom - 1.0) / 2, y = fitted.height() * (zoom - 1.0) / 2;
  return {std::clamp(pan.x(), -x, x), std::clamp(pan.y(), -y, y)};
}

QRect ReviewPicture::PictureRect() const {
  return ShownRect(zoom_, pan_).toRect();
}

void ReviewPicture::Fit() {
  zoom_ = 1.0;
  pan_ = {};
  update();
}

void ReviewPicture::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  const QRectF shown = ShownRect(zoom_, pan_);
  if (notches == 0 || shown.isEmpty()) return;
  const double zoom = std::clamp(zoom_ * std::pow(kZoomPerNotch, notches), 1.0, kMostZoom);
  // The point of the picture under the mouse stays under it.
  const QPointF mouse = event->position();
  const double scale = zoom / zoom_;
  const QPointF centre = mouse + (shown.center() - mouse) * scale;
  zoom_ = zoom;
  pan_ = ClampedPan(zoom_, centre - FittedRect().center());
  update();
  event->accept();
}

void ReviewPicture::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && zoom_ > 1.0) dragFrom_ = event->position();
}

void ReviewPicture::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) return;
  pan_ = ClampedPan(zoom_, pan_ + event->position() - *dragFrom_);
  dragFrom_ = event->position();
  update();
}

void ReviewPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragFrom_.reset();
}

void ReviewPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QRectF target = ShownRect(zoom_, pan_);
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
