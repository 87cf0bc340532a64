#include "review/HoverThumbnail.h"

#include <QPainter>
#include <algorithm>

namespace bf::ui {

namespace {

constexpr int kBorder = 2;

}  // namespace

HoverThumbnail::HoverThumbnail(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

void HoverThumbnail::Set(const QImage& image, const QString& time) {
  image_ = image;
  time_ = time;
  resize(sizeHint());
  update();
}

QSize HoverThumbnail::sizeHint() const {
  const int textWidth = fontMetrics().horizontalAdvance(time_) + 2 * kBorder;
  return {std::max(image_.width() + 2 * kBorder, textWidth),
          image_.height() + fontMetrics().height() + 3 * kBorder};
}

void HoverThumbnail::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
  painter.setPen(palette().color(QPalette::ToolTipText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.drawImage(QPoint((width() - image_.width()) / 2, kBorder), image_);
  painter.drawText(QRect(0, image_.height() + 2 * kBorder, width(), fontMetrics().height()),
                   Qt::AlignHCenter, time_);
}

}  // namespace bf::ui
