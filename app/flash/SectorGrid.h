#pragma once
#include <QWidget>
#include <functional>

#include "flash/SectorRangeModel.h"

namespace bf::ui {

// The 256 sectors of a type 2 camera's flash as a 16 x 16 grid in recording order, oldest top
// left, with the time of each row's first frame at its left once known. Shows the selection,
// the write pointer's sector (red frame), where the recording crosses the end of the flash
// (orange bar) and what is known of each sector (a frame, none, not read yet, not written).
//
// Mouse: a press picks the start and end at once, dragging or Shift+press moves the end.
// Keys: arrows move by one sector or one row, Home and End to the oldest sector and to the write
// pointer's, Page Up and Page Down by four rows; with Shift they move the end only. Every change is
// reported through onChange. GUI thread only.
class SectorGrid : public QWidget {
  Q_OBJECT

 public:
  SectorGrid(SectorRangeModel& model, QWidget* parent);

  std::function<void()> onChange;

  // Where the sector at this recording position is drawn (for tests and tooltips).
  QRect CellRect(int position) const;
  // The recording position at point, or -1.
  int PositionAt(const QPoint& point) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int LabelWidth() const;
  void Changed();

  SectorRangeModel& model_;
  bool dragging_ = false;
};

}  // namespace bf::ui
