#include "review/TimelineStrip.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "review/AxisTicks.h"

namespace bf::ui {

namespace {

// A press that moves less than this is a click, not a drag.
constexpr double kClickSlop = 3.0;
// One wheel notch zooms by this factor.
constexpr double kZoomPerNotch = 1.25;

const QColor kFrames(40, 110, 200);
const QColor kBackground(245, 245, 245);
const QColor kGap(225, 225, 225);
const QColor kDamaged(220, 60, 40);
const QColor kRecordingStart(30, 140, 60);
const QColor kMarked(255, 200, 0, 90);
const QColor kCursor(200, 0, 0);

}  // namespace

QString GapLengthText(uint32_t seconds) {
  const uint32_t days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60,
                 secs = seconds % 60;
  if (days > 0) {
    return QStringLiteral("%1 дн %2 ч %3 мин").arg(days).arg(hours).arg(minutes, 2, 10, QChar('0'));
  }
  if (hours > 0) return QStringLiteral("%1 ч %2 мин").arg(hours).arg(minutes, 2, 10, QChar('0'));
  if (minutes > 0) return QStringLiteral("%1 мин %2 с").arg(minutes).arg(secs, 2, 10, QChar('0'));
  return QStringLiteral("%1 с").arg(secs);
}

TimelineStrip::TimelineStrip(ReviewPresenter& presenter, QWidget* parent)
    : QWidget(parent), presenter_(presenter) {
  setMinimumHeight(72);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setMouseTracking(true);
  // A gap's length is worth seeing also while another window has the focus.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  setFocusPolicy(Qt::NoFocus);
}

double TimelineStrip::TimeAt(double x) const {
  const TimeWindow w = presenter_.Window();
  return w.start + x / std::max(1, width()) * w.Length();
}

double TimelineStrip::XOf(double time) const {
  const TimeWindow w = presenter_.Window();
  if (!(w.Length() > 0)) return 0;
  return (time - w.start) / w.Length() * width();
}

std::optional<QString> TimelineStrip::GapTextAt(double x) const {
  const double t = TimeAt(x);
  for (const TimeGap& gap : presenter_.Gaps()) {
    // The gap is the empty time between its frames' seconds.
    if (t >= gap.start + 1.0 && t < gap.end) {
      return QStringLiteral("Перерыв %1").arg(GapLengthText(gap.Length()));
    }
  }
  return std::nullopt;
}

void TimelineStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  if (!presenter_.IsOpen() || width() <= 0) return;
  // The top strip holds the recording-start markers, above the density bars.
  const int barTop = 8;
  const int axisHeight = fontMetrics().height() + 6;
  const StripLayout layout{barTop, std::max(8, height() - axisHeight - barTop)};
  PaintGapsAndMarked(painter, layout);
  PaintDensity(painter, layout);
  PaintDamageAndStarts(painter, layout);
  PaintAxis(painter, layout);
  // The current frame.
  const double cursor = XOf(presenter_.CurrentTime() + 0.5);
  painter.setPen(QPen(kCursor, 2));
  painter.drawLine(QPointF(cursor, 0), QPointF(cursor, layout.AxisTop()));
}

void TimelineStrip::PaintGapsAndMarked(QPainter& painter, const StripLayout& layout) const {
  for (const TimeGap& gap : presenter_.Gaps()) {
    const double a = XOf(gap.start + 1.0), b = XOf(gap.end);
    if (b < 0 || a > width()) continue;
    painter.fillRect(QRectF(a, layout.barTop, b - a, layout.barHeight), kGap);
  }
  if (const std::optional<TimeWindow> marked = presenter_.MarkedStretch()) {
    const double a = XOf(marked->start), b = XOf(marked->end);
    painter.fillRect(QRectF(a, 0, std::max(1.0, b - a), layout.AxisTop()), kMarked);
  }
}

void TimelineStrip::PaintDensity(QPainter& painter, const StripLayout& layout) const {
  // Bar height grows with the logarithm of the frames in a column, so that a single frame
  // still shows next to a column of thousands.
  const std::vector<std::size_t> bins =
      presenter_.GetTimeline().Bins(presenter_.Window(), static_cast<std::size_t>(width()));
  const std::size_t most = bins.empty() ? 0 : *std::max_element(bins.begin(), bins.end());
  const double scale = std::log1p(static_cast<double>(std::max<std::size_t>(most, 1)));
  for (std::size_t x = 0; x < bins.size(); ++x) {
    if (bins[x] == 0) continue;
    const double h =
        std::max(3.0, layout.barHeight * std::log1p(static_cast<double>(bins[x])) / scale);
    painter.fillRect(QRectF(static_cast<double>(x), layout.AxisTop() - h, 1.0, h), kFrames);
  }
}

void TimelineStrip::PaintDamageAndStarts(QPainter& painter, const StripLayout& layout) const {
  for (const DamagedMark& mark : presenter_.Damaged()) {
    const double a = XOf(mark.start), b = XOf(mark.end + 1.0);
    if (b < 0 || a > width()) continue;
    painter.fillRect(QRectF(a, layout.AxisTop() - 5, std::max(2.0, b - a), 5), kDamaged);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kRecordingStart);
  for (const RecordingRun& run : presenter_.Runs()) {
    const double x = XOf(run.start);
    if (x < -4 || x > width() + 4) continue;
    const QPointF marker[] = {{x - 4, 0}, {x + 4, 0}, {x, static_cast<double>(layout.barTop - 1)}};
    painter.drawPolygon(marker, 3);
  }
  painter.setBrush(Qt::NoBrush);
}

void TimelineStrip::PaintAxis(QPainter& painter, const StripLayout& layout) const {
  const int axisTop = layout.AxisTop();
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawLine(0, axisTop, width(), axisTop);
  // A label that would run into the one before it (the first tick's date makes that one long)
  // is left out; its tick stays.
  double labelsEnd = -1e9;
  for (const AxisTick& tick : AxisTicks(presenter_.Window(), width())) {
    const double x = XOf(tick.time);
    painter.drawLine(QPointF(x, axisTop), QPointF(x, axisTop + 4));
    if (x + 2 < labelsEnd) continue;
    const QString label = QString::fromStdString(tick.label);
    painter.drawText(QPointF(x + 2, axisTop + 3 + fontMetrics().ascent()), label);
    labelsEnd = x + 2 + fontMetrics().horizontalAdvance(label) + fontMetrics().averageCharWidth();
  }
}

void TimelineStrip::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  presenter_.ZoomAround(TimeAt(event->position().x()), std::pow(kZoomPerNotch, notches));
  event->accept();
}

void TimelineStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressX_ = event->position().x();
  lastX_ = *pressX_;
  dragged_ = false;
}

void TimelineStrip::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  if (!pressX_) {
    emit Hovered(x);
    return;
  }
  if (!dragged_ && std::abs(x - *pressX_) < kClickSlop) return;
  if (!dragged_) emit HoverLeft();
  dragged_ = true;
  // The time under the mouse stays under it.
  presenter_.PanBy(TimeAt(lastX_) - TimeAt(x));
  lastX_ = x;
}

void TimelineStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressX_) return;
  // A frame stamped with second s is drawn over [s, s + 1): a click there means that frame.
  if (!dragged_) presenter_.GoToTime(TimeAt(event->position().x()) - 0.5);
  pressX_.reset();
  dragged_ = false;
}

void TimelineStrip::leaveEvent(QEvent* event) {
  emit HoverLeft();
  QWidget::leaveEvent(event);
}

bool TimelineStrip::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    if (const std::optional<QString> text = GapTextAt(help->pos().x())) {
      QToolTip::showText(help->globalPos(), *text, this);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

}  // namespace bf::ui
