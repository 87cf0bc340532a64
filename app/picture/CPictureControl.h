#pragma once
#include <QWidget>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "picture/CPicture.h"

namespace bf {

// The child window that shows one decoded picture at a fixed offset, turning every new picture
// by a fixed rotation and squeezing it only when it does not fit.
//
// Threads: the widget lives on the GUI thread, where it paints. ShowJpeg (and the display steps
// of derived classes) may also run on a playback timer thread; the picture is guarded by
// displayMutex_, so a replacement never overlaps a paint, and repaint requests made off the
// GUI thread are queued to it. Offset and rotation are set on the GUI thread and read anywhere.
//
// Erasing is suppressed, as in the window it stands for: with no picture a paint leaves the
// pixels that were there. Only EraseOnNextPaint (the parent's background erase) clears them.
class CPictureControl : public QWidget {
  Q_OBJECT

 public:
  explicit CPictureControl(bool autoLoad, QWidget* parent = nullptr);
  ~CPictureControl() override;

  // The way new pictures reach the screen: invalidates the area of the picture being replaced
  // (not of the new one), decodes a private copy of the bytes and turns it by the rotation in
  // force. False when decoding failed; the control then holds no picture.
  bool ShowJpeg(const uint8_t* bytes, std::size_t length);
  // Invalidates the whole control, then loads the embedded picture named by id (if any).
  void LoadInitialPicture(int id);
  // Run by the window that places the control (the counterpart of attaching to a dialog item
  // or of creation): with autoLoad, a positive id and no picture yet, LoadInitialPicture(id).
  void Attach(int controlId);
  // Drops the picture (no repaint is requested).
  void ReleasePicture();
  // The parent's erase of this area: the next paint fills what it repaints with the button
  // face colour before drawing. Also pending at first show, so no stale pixels appear. Any
  // thread (queued to the GUI thread).
  void EraseOnNextPaint();

  int OffsetX() const { return offsetX_.load(); }
  int OffsetY() const { return offsetY_.load(); }
  void SetOffset(int x, int y);
  // Takes effect with the next picture; the one on display stays as it is.
  Rotation GetRotation() const { return rotation_.load(); }
  void SetRotation(Rotation rotation) { rotation_.store(rotation); }
  bool AutoLoad() const { return autoLoad_; }

  QSize PictureSize() const;
  bool HasPicture() const;

  // Draws the picture by the placement rule into painter, whose device is this control's client
  // area of the given size. The paint handler and the display benchmarks share it.
  void PaintPicture(QPainter& painter, const QRect& client) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

  // Callers hold displayMutex_.
  bool ShowJpegLocked(const uint8_t* bytes, std::size_t length);
  // update(rect) from any thread: queued to the GUI thread when called elsewhere.
  void Invalidate(const QRect& rect);
  // Fills the pending erase, if any, within the region being painted.
  void ErasePendingBackground(QPainter& painter, const QRegion& region);

  mutable std::mutex displayMutex_;
  CPicture picture_;  // guarded by displayMutex_

 private:
  const bool autoLoad_;
  std::atomic<int> offsetX_{0};
  std::atomic<int> offsetY_{0};
  std::atomic<Rotation> rotation_{Rotation::None};
  bool erasePending_ = true;  // GUI thread only
};

}  // namespace bf
