#pragma once
#include <QWidget>
#include <cstdint>
#include <span>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"
#include "picture/CPicture.h"

namespace bf::ui {

// The review window's picture: the overlay line of the frame on top, and under it the frame's
// picture, turned by the rotation given with it, scaled to fill the rest with its aspect kept.
// GUI thread only.
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

  QSize sizeHint() const override { return {640, 480}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const JpegHeaderTable& table_;
  FrameHeader shown_;
  CPicture picture_;
};

}  // namespace bf::ui
