#pragma once
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "recordings/RecordingExport.h"
#include "shell/ExportProgressDialog.h"

class QAction;
class QProgressDialog;
class QWidget;

namespace bf::ui {

// The context-menu entries "Экспорт видео..." and "Экспорт кадров..." of the main window and
// the progress dialog of a running export, over the RecordingExport presenter. The dialog is
// not modal: the player keeps working while the export runs. The presenter's worker queues its
// progress and its end to this object's thread. GUI thread only.
class RecordingExportView final : public QObject {
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
  // The open progress dialog, or nullptr.
  QProgressDialog* ProgressDialog() const { return progress_.Dialog(); }

 private:
  Source source_;
  QAction* videoAction_ = nullptr;
  QAction* framesAction_ = nullptr;
  ExportProgressDialog progress_;
  std::unique_ptr<RecordingExport> presenter_;
};

}  // namespace bf::ui
