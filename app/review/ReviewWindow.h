#pragma once
#include <QWidget>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "picture/CPicture.h"
#include "recordings/PlaybackTimer.h"
#include "review/FrameThumbnails.h"
#include "review/ReviewPlayback.h"
#include "review/ReviewPresenter.h"

class QAction;
class QLabel;
class QTimer;

namespace bf::ui {

class HoverThumbnail;
class ReviewPicture;
class StretchExportView;
class TimelineStrip;

// A review window: one recording of its own, looked at over camera time. The picture fills the
// window with the overlay line above it (wheel and drag zoom and pan it, F fits it again), the
// timeline runs under it, a status line says where the cursor and the marks are. Keys: Left/Right a
// frame, with Shift a second, PageUp/PageDown the previous/next gap or recording start, Home/End, I
// and O the marks, Space plays and stops,
// + and - double and halve the speed, [ and ] shorten and lengthen the gaps skipped, P switches
// between the recorded pace and the fixed rate of "Player fps" (the pace is kept in the settings);
// the context menu has "Перейти к времени..." (Ctrl+G), "Сохранить отрезок..." (Ctrl+S, a recording
// file) and the exports of the marked stretch as video or stills. Independent of the main window's
// player; several may be open. Deletes itself when closed. GUI thread only.
class ReviewWindow final : public QWidget, private ReviewView {
  Q_OBJECT

 public:
  // rotation: the main window's rotation in force, asked for each frame shown. settings: where
  // the pace of playing is kept (none: defaults, not kept). timer: paces playing, and must
  // outlive the window (none: a timer of the window's own).
  ReviewWindow(UserPrompts& prompts, const JpegHeaderTable& table,
               std::function<Rotation()> rotation, QWidget* parent = nullptr,
               SettingsStore* settings = nullptr, PlaybackTimer* timer = nullptr);
  ~ReviewWindow() override;

  bool Open(const std::string& path);

  ReviewPresenter& Presenter() { return presenter_; }
  ReviewPlayback& Playback() { return *playback_; }
  ReviewPicture& Picture() { return *picture_; }
  TimelineStrip& Timeline() { return *timeline_; }
  HoverThumbnail& Thumbnail() { return *thumbnail_; }
  FrameThumbnails& Thumbnails() { return thumbnails_; }
  QString StatusText() const;
  QAction* GoToTimeAction() const { return goToTime_; }
  QAction* SaveStretchAction() const { return saveStretch_; }
  StretchExportView& Exports() { return *exports_; }
  // Left or Right held (the keyboard repeats it): the frames follow one another as fast as
  // they are read, decoded and painted, not at the keyboard's repeat rate. 0: not held.
  int HeldDirection() const { return heldDirection_; }

  // Opens a review window on `path`, or, when it is empty, on a recording chosen in the
  // review's open dialog. The window is shown; nullptr when nothing was opened.
  static ReviewWindow* OpenFor(const std::string& path, UserPrompts& prompts,
                               SettingsStore& settings, const JpegHeaderTable& table,
                               std::function<Rotation()> rotation, QWidget* parent,
                               PlaybackTimer* timer = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void TimelineChanged() override;
  void AskForTime();
  void ChangePace(const ReviewPace& pace);
  // The keys of keyPressEvent by job; false: not one of theirs.
  bool PaceKey(int key);
  bool MoveKey(const QKeyEvent& event);
  // Left and Right: a frame, a second with Shift, held: as fast as frames show.
  void StepKey(const QKeyEvent& event);
  void StepHeld();
  // The thumbnail of the frame nearest to the time under x of the timeline, over it; none
  // over a gap.
  void ShowThumbnailAt(double x);

  UserPrompts& prompts_;
  std::function<Rotation()> rotation_;
  SettingsStore* settings_;
  std::unique_ptr<PlaybackTimer> ownTimer_;  // before the playback, which it outlives
  ReviewPresenter presenter_;
  std::unique_ptr<ReviewPlayback> playback_;
  FrameThumbnails thumbnails_;
  ReviewPicture* picture_ = nullptr;
  TimelineStrip* timeline_ = nullptr;
  HoverThumbnail* thumbnail_ = nullptr;
  QLabel* status_ = nullptr;
  QAction* goToTime_ = nullptr;
  QAction* saveStretch_ = nullptr;
  StretchExportView* exports_ = nullptr;
  QTimer* holdTimer_ = nullptr;  // 0 ms: one step each pass of the event loop
  int heldDirection_ = 0;
};

}  // namespace bf::ui
