#pragma once
#include <QWidget>
#include <functional>
#include <span>
#include <string>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "picture/CPicture.h"
#include "review/ReviewPresenter.h"

class QAction;
class QLabel;

namespace bf::ui {

class ReviewPicture;
class TimelineStrip;

// A review window: one recording of its own, looked at over camera time. The picture fills the
// window with the overlay line above it, the timeline runs under it, a status line says where
// the cursor and the marks are. Keys: Left/Right a frame, with Shift a second, PageUp/PageDown
// the previous/next gap or recording start, Home/End, I and O the marks; the context menu has
// "Перейти к времени..." (Ctrl+G) and "Сохранить отрезок..." (Ctrl+S). Independent of the main
// window's player; several may be open. Deletes itself when closed. GUI thread only.
class ReviewWindow final : public QWidget, private ReviewView {
  Q_OBJECT

 public:
  // rotation: the main window's rotation in force, asked for each frame shown.
  ReviewWindow(UserPrompts& prompts, const JpegHeaderTable& table,
               std::function<Rotation()> rotation, QWidget* parent = nullptr);
  ~ReviewWindow() override;

  bool Open(const std::string& path);

  ReviewPresenter& Presenter() { return presenter_; }
  ReviewPicture& Picture() { return *picture_; }
  TimelineStrip& Timeline() { return *timeline_; }
  QString StatusText() const;
  QAction* GoToTimeAction() const { return goToTime_; }
  QAction* SaveStretchAction() const { return saveStretch_; }

  // Opens a review window on `path`, or, when it is empty, on a recording chosen in the
  // review's open dialog. The window is shown; nullptr when nothing was opened.
  static ReviewWindow* OpenFor(const std::string& path, UserPrompts& prompts,
                               SettingsStore& settings, const JpegHeaderTable& table,
                               std::function<Rotation()> rotation, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void TimelineChanged() override;
  void AskForTime();

  UserPrompts& prompts_;
  std::function<Rotation()> rotation_;
  ReviewPresenter presenter_;
  ReviewPicture* picture_ = nullptr;
  TimelineStrip* timeline_ = nullptr;
  QLabel* status_ = nullptr;
  QAction* goToTime_ = nullptr;
  QAction* saveStretch_ = nullptr;
};

}  // namespace bf::ui
