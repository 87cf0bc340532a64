#pragma once
#include <QWidget>
#include <optional>

class QPainter;

#include "review/ReviewPresenter.h"

namespace bf::ui {

// The timeline under the review picture, over camera time: frames per pixel column as a
// density bar, gaps left empty (their length in a tooltip), damaged stretches and recording
// starts marked, the marked stretch shaded, the current frame as a cursor, and an axis of
// local-time ticks. Wheel zooms around the mouse, dragging pans, a click goes to the nearest
// frame; hovering reports where the mouse is (for a thumbnail). It draws from the presenter's
// frame index views only, never from the file.
// GUI thread only.
class TimelineStrip final : public QWidget {
  Q_OBJECT

 public:
  explicit TimelineStrip(ReviewPresenter& presenter, QWidget* parent = nullptr);

  // Camera time at a horizontal position, and back.
  double TimeAt(double x) const;
  double XOf(double time) const;
  // The tooltip text at a horizontal position: the gap's length there, else nothing.
  std::optional<QString> GapTextAt(double x) const;

  QSize sizeHint() const override { return {640, 96}; }

 signals:
  // The mouse rests at x with no button held; HoverLeft when it leaves or a drag begins.
  void Hovered(double x);
  void HoverLeft();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Where the bars stand: the recording-start markers above barTop, the bars down to the axis.
  struct StripLayout {
    int barTop = 0;
    int barHeight = 0;
    int AxisTop() const { return barTop + barHeight; }
  };
  void PaintGapsAndMarked(QPainter& painter, const StripLayout& layout) const;
  void PaintDensity(QPainter& painter, const StripLayout& layout) const;
  void PaintDamageAndStarts(QPainter& painter, const StripLayout& layout) const;
  void PaintAxis(QPainter& painter, const StripLayout& layout) const;

  ReviewPresenter& presenter_;
  std::optional<double> pressX_;
  double lastX_ = 0;
  bool dragged_ = false;
};

// "2 ч 05 мин", "3 мин 20 с", "45 с", "1 дн 0 ч 50 мин": a gap's length for the tooltip.
QString GapLengthText(uint32_t seconds);

}  // namespace bf::ui
