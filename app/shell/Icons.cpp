#include "shell/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace bf::ui {
namespace {

constexpr int kGlyphSize = 16;

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void Triangle(QPainter& p, double left, double right, bool pointsRight) {
  const double top = 3.5;
  const double bottom = 12.5;
  QPolygonF shape;
  if (pointsRight) {
    shape << QPointF(left, top) << QPointF(right, 8.0) << QPointF(left, bottom);
  } else {
    shape << QPointF(right, top) << QPointF(left, 8.0) << QPointF(right, bottom);
  }
  p.drawPolygon(shape);
}

QPixmap PlayerGlyph(int iconId, const QColor& colour) {
  QPixmap pixmap = Canvas(kGlyphSize);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  switch (iconId) {
    case IDI_BEGIN:  // |◀
      p.drawRect(QRectF(3, 3.5, 2, 9));
      Triangle(p, 5.5, 12.5, false);
      break;
    case IDI_PREVIOUS:  // ◀
      Triangle(p, 4, 11, false);
      break;
    case IDI_PLAY:  // ▶
      Triangle(p, 5, 12, true);
      break;
    case IDI_STOP:  // ■
      p.drawRect(QRectF(4, 4, 8, 8));
      break;
    case IDI_NEXT:  // ▶ with a bar behind: one step on
      Triangle(p, 5, 12, true);
      p.drawRect(QRectF(3, 3.5, 1.5, 9));
      break;
    case IDI_END:  // ▶|
      Triangle(p, 3.5, 10.5, true);
      p.drawRect(QRectF(11, 3.5, 2, 9));
      break;
    default:
      break;
  }
  return pixmap;
}

// A small camera: body, lens and viewfinder bump, at the given size.
QPixmap CameraGlyph(int size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  p.setPen(QPen(QColor(20, 20, 20), 1.5));
  p.setBrush(QColor(70, 90, 130));
  p.drawRoundedRect(QRectF(3, 9, 26, 18), 3, 3);
  p.drawRect(QRectF(11, 5, 10, 4));
  p.setBrush(QColor(230, 230, 240));
  p.drawEllipse(QPointF(16, 18), 6.5, 6.5);
  p.setBrush(QColor(30, 40, 70));
  p.drawEllipse(QPointF(16, 18), 3.5, 3.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 40, 40));
  p.drawEllipse(QPointF(25, 12.5), 1.5, 1.5);
  return pixmap;
}

}  // namespace

QIcon LoadAppIcon(int iconId) {
  if (iconId == IDR_MAINFRAME) {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(CameraGlyph(size));
    return icon;
  }
  if (iconId >= IDI_BEGIN && iconId <= IDI_END) {
    // Black glyphs stay black under the style's own greying, so a disabled player button would
    // look usable; it gets a grey glyph of its own.
    QIcon icon(PlayerGlyph(iconId, QColor(0, 0, 0)));
    icon.addPixmap(PlayerGlyph(iconId, QColor(160, 160, 160)), QIcon::Disabled);
    return icon;
  }
  return QIcon();
}

}  // namespace bf::ui
