#pragma once
#include <QObject>
#include <memory>

#include "review/StretchExport.h"
#include "shell/ExportProgressDialog.h"

class QAction;
class QProgressDialog;
class QWidget;

namespace bf::ui {

// The review window's exports of its marked stretch: "Экспорт отрезка в видео..." (when the
// build has the video export), "Экспорт отрезка в кадры..." and the checkable
// "Впечатать строку кадра в видео", added to the window's context menu; a non-modal progress
// dialog with "Отмена" while the worker runs, which queues its progress and end to this object.
// Closing the window cancels and waits. GUI thread only.
class StretchExportView final : public QObject {
  Q_OBJECT

 public:
  // rate: the frame rate a video takes (0: as recorded), asked at each export.
  StretchExportView(QWidget* window, ReviewPresenter& presenter, UserPrompts& prompts,
                    const JpegHeaderTable& table, std::function<uint32_t()> rate);
  ~StretchExportView() override;

  StretchExport& Presenter() { return *presenter_; }
  QAction* VideoAction() const { return videoAction_; }
  QAction* FramesAction() const { return framesAction_; }
  QAction* BurnInAction() const { return burnInAction_; }
  QProgressDialog* ProgressDialog() const { return progress_.Dialog(); }

 private:
  std::function<uint32_t()> rate_;
  ExportProgressDialog progress_;
  QAction* videoAction_ = nullptr;
  QAction* framesAction_ = nullptr;
  QAction* burnInAction_ = nullptr;
  std::unique_ptr<StretchExport> presenter_;
};

}  // namespace bf::ui
