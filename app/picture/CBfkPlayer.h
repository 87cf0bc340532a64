#pragma once
#include <cstdint>
#include <span>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"
#include "picture/CPictureControl.h"

namespace bf {

// The one window every picture reaches the screen through, live or recorded: a picture
// control that also keeps the header of the frame it last showed and paints, above the
// picture, the overlay line describing that frame.
//
// Threads: widget work on the GUI thread. ShowFrame and ClearDisplay may run on a playback
// timer thread; they and the paint serialise on displayMutex_ (shown header and picture), and
// their repaint requests are queued to the GUI thread.
class CBfkPlayer : public CPictureControl {
  Q_OBJECT

 public:
  // table: the process-wide header table; it must outlive the player (filled once, read-only).
  explicit CBfkPlayer(const JpegHeaderTable& table, QWidget* parent = nullptr);
  ~CBfkPlayer() override;

  // Keeps the header first (so the overlay describes the frame even if its picture fails),
  // rebuilds the JPEG from the header table and shows it. True when the picture is now on
  // display. The payload is not kept.
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload);
  // No picture and no overlay at the next repaint.
  virtual void ClearDisplay();

  FrameHeader ShownHeader() const;

  // Picture, then the overlay line; shared by the paint handler and the display benchmarks.
  void PaintDisplay(QPainter& painter, const QRect& client);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintOverlay(QPainter& painter) const;
  void InvalidateOverlayStrip();

  const JpegHeaderTable& table_;
  FrameHeader shown_;  // guarded by displayMutex_; invalid until the first frame
};

}  // namespace bf
