#pragma once
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "recordings/RecordingExport.h"

class QAction;
class QProgressDialog;
class QWidget;

namespace bf::ui {

// The context-menu entries "Экспорт видео..." and "Экспорт кадров..." of the main window and
// the progress dialog of a running export, over the RecordingExport presenter. The dialog is
// not modal: the player keeps working while the export runs. The presenter's worker queues its
// progress and its end to this object's thread. GUI thread only.
class RecordingExportView final : public QObject, private ExportProgressView {
  Q_OBJECT

 public:
  struct Source {
    std::function<std::string()> recordingPath;  // empty: no recording open
    std::function<uint32_t()> rate;              // 0: as recorded, else frames per second
  };
  RecordingExportView(QWidget* window, UserPrompts& prompts, const JpegHeaderTable& table,
                      Source source);
  ~RecordingExportView() override;

  QAction* VideoAction() const { return videoAction_; }
  QAction* FramesAction() const { return framesAction_; }
  RecordingExport& Presenter() { return *presenter_; }
  QProgressDialog* ProgressDialog() const;  // the open progress dialog, or nullptr

 private:
  void ShowProgress(const std::string& title, uint32_t done, uint32_t total) override;
  void CloseProgress() override;

  QWidget* window_;
  Source source_;
  QAction* videoAction_ = nullptr;
  QAction* framesAction_ = nullptr;
  QPointer<QProgressDialog> dialog_;
  std::unique_ptr<RecordingExport> presenter_;
};

}  // namespace bf::ui
