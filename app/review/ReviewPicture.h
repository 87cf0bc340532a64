#pragma once
#include <QWidget>
#include <cstdint>
#include <optional>
#include <span>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"
#include "picture/CPicture.h"

namespace bf::ui {

// The review window's picture: the overlay line of the frame on top, and under it the frame's
// picture, turned by the rotation given with it, scaled to fill the rest with its aspect kept.
// The wheel zooms in and out around the mouse (never below that fit), dragging pans a zoomed
// picture (which always covers the fitted one's place); Fit goes back. Zoom and pan stay from frame
// to frame. GUI thread only.
class ReviewPicture final : public QWidget {
  Q_OBJECT

 public:
  // table: the process-wide header table; it outlives every window.
  explicit ReviewPicture(const JpegHeaderTable& table, QWidget* parent = nullptr);

  // Rebuilds and decodes the frame; a payload that does not decode leaves no picture, but the
  // overlay line still describes the frame.
  void SetFrame(const FrameHeader& header, std::span<const uint8_t> payload, Rotation rotation);
  bool HasPicture() const { return picture_.HasImage(); }
  QSize PictureSize() const { return picture_.GetSize(); }
  QString OverlayLine() const;
  // Where the picture is drawn in the widget.
  QRect PictureRect() const;
  // How many times the fitted size the picture is shown (1: fitted).
  double Zoom() const { return zoom_; }
  void Fit();

  QSize sizeHint() const override { return {640, 480}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const JpegHeaderTable& table_;
  FrameHeader shown_;
  // The picture fitted into the area under the overlay line (empty without a picture).
  QRectF FittedRect() const;
  // The drawn rectangle for a zoom and a pan.
  QRectF ShownRect(double zoom, QPointF pan) const;
  QPointF ClampedPan(double zoom, QPointF pan) const;

  CPicture picture_;
  double zoom_ = 1.0;
  QPointF pan_;  // of the zoomed picture's centre from the fitted one's, in pixels
  std::optional<QPointF> dragFrom_;
};

}  // namespace bf::ui
