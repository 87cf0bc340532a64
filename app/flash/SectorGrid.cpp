#include "flash/SectorGrid.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace bf::ui {

namespace {

constexpr int kRows = SectorRangeModel::kSectors / SectorRangeModel::kColumns;

QString RowTime(const SectorRangeModel::SectorInfo& info) {
  if (info.state != SectorRangeModel::State::Frame) return {};
  return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(info.header.Timestamp()))
      .toString(QStringLiteral("dd.MM hh:mm"));
}

}  // namespace

SectorGrid::SectorGrid(SectorRangeModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int SectorGrid::LabelWidth() const {
  return fontMetrics().horizontalAdvance(QStringLiteral("00.00 00:00")) + 8;
}

QRect SectorGrid::CellRect(int position) const {
  const int left = LabelWidth();
  const int cellWidth = std::max(1, (width() - left) / SectorRangeModel::kColumns);
  const int cellHeight = std::max(1, height() / kRows);
  return QRect(left + (position % SectorRangeModel::kColumns) * cellWidth,
               (position / SectorRangeModel::kColumns) * cellHeight, cellWidth, cellHeight);
}

int SectorGrid::PositionAt(const QPoint& point) const {
  const QRect first = CellRect(0);
  if (point.x() < first.left() || point.y() < 0) return -1;
  const int column = (point.x() - first.left()) / first.width();
  const int row = point.y() / first.height();
  if (column >= SectorRangeModel::kColumns || row >= kRows) return -1;
  return row * SectorRangeModel::kColumns + column;
}

void SectorGrid::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& colours = palette();
  painter.fillRect(rect(), colours.window());
  QFont small = font();
  small.setPointSizeF(std::max(5.0, font().pointSizeF() - 1.0));

  for (int row = 0; row < kRows; ++row) {
    const int position = row * SectorRangeModel::kColumns;
    const QRect cell = CellRect(position);
    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawText(QRect(0, cell.top(), LabelWidth() - 6, cell.height()),
                     Qt::AlignRight | Qt::AlignVCenter,
                     RowTime(model_.Info(model_.SectorAt(position))));
  }

  painter.setFont(small);
  for (int position = 0; position < SectorRangeModel::kSectors; ++position) {
    const int sector = model_.SectorAt(position);
    const SectorRangeModel::SectorInfo& info = model_.Info(sector);
    const QRect cell = CellRect(position).adjusted(1, 1, -1, -1);
    const bool selected = position >= model_.StartPosition() && position <= model_.EndPosition();
    QColor fill = QColor(0xE4, 0xE4, 0xE4);  // recorded, not read yet
    if (model_.IsUnwritten(sector)) {
      fill = QColor(0xB8, 0xB8, 0xB8);
    } else if (info.state == SectorRangeModel::State::Frame) {
      fill = QColor(0xC8, 0xE6, 0xC8);
    } else if (info.state == SectorRangeModel::State::NoFrame) {
      fill = Qt::white;
    }
    if (selected) fill = fill.darker(info.state == SectorRangeModel::State::Unknown ? 125 : 140);
    painter.fillRect(cell, fill);
    if (position == model_.StartPosition() || position == model_.EndPosition()) {
      painter.fillRect(QRect(cell.left(), cell.bottom() - 2, cell.width(), 3),
                       colours.color(QPalette::Highlight));
    }
    painter.setPen(selected ? Qt::white : colours.color(QPalette::WindowText));
    painter.drawText(cell, Qt::AlignCenter,
                     info.state == SectorRangeModel::State::NoFrame ? QStringLiteral("–")
                                                                    : QString::number(sector));
    if (sector == model_.PointerSector()) {
      painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
      painter.drawRect(cell.adjusted(1, 1, -1, -1));
    }
    if (position == model_.WrapPosition()) {
      painter.fillRect(QRect(cell.left() - 1, cell.top() - 1, 3, cell.height() + 2),
                       QColor(0xF0, 0x90, 0x10));
    }
    if (position == model_.CursorPosition() && hasFocus()) {
      painter.setPen(QPen(colours.color(QPalette::WindowText), 1, Qt::DotLine));
      painter.drawRect(cell.adjusted(3, 3, -4, -4));
    }
  }
}

void SectorGrid::mousePressEvent(QMouseEvent* event) {
  const int position = PositionAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || position < 0) return QWidget::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  model_.SetCursor(position, (event->modifiers() & Qt::ShiftModifier) != 0);
  dragging_ = true;
  Changed();
}

void SectorGrid::mouseMoveEvent(QMouseEvent* event) {
  const int position = PositionAt(event->position().toPoint());
  model_.SetHover(position < 0 ? -1 : model_.SectorAt(position));
  if (dragging_ && (event->buttons() & Qt::LeftButton) != 0 && position >= 0) {
    model_.SetCursor(position, true);
  } else {
    dragging_ = false;
  }
  Changed();
}

void SectorGrid::leaveEvent(QEvent* event) {
  model_.SetHover(-1);
  Changed();
  QWidget::leaveEvent(event);
}

void SectorGrid::keyPressEvent(QKeyEvent* event) {
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  const int row = SectorRangeModel::kColumns;
  switch (event->key()) {
    case Qt::Key_Left:
      model_.MoveCursor(-1, extend);
      break;
    case Qt::Key_Right:
      model_.MoveCursor(1, extend);
      break;
    case Qt::Key_Up:
      model_.MoveCursor(-row, extend);
      break;
    case Qt::Key_Down:
      model_.MoveCursor(row, extend);
      break;
    case Qt::Key_PageUp:
      model_.MoveCursor(-4 * row, extend);
      break;
    case Qt::Key_PageDown:
      model_.MoveCursor(4 * row, extend);
      break;
    case Qt::Key_Home:
      model_.SetCursor(0, extend);
      break;
    case Qt::Key_End:
      model_.SetCursor(model_.PositionOf(model_.PointerSector()), extend);
      break;
    default:
      return QWidget::keyPressEvent(event);
  }
  Changed();
}

void SectorGrid::Changed() {
  update();
  if (onChange) onChange();
}

}  // namespace bf::ui
