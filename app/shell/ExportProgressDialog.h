#pragma once
#include <QPointer>
#include <functional>
#include <string>

#include "recordings/RecordingExport.h"

class QObject;
class QProgressDialog;
class QWidget;

namespace bf::ui {

// The progress dialog of a running recording export, shared by the main window's exports and
// the review window's: not modal (the windows keep working meanwhile), "Кадр N из M", and
// "Отмена", which calls `cancel`. GUI thread only.
class ExportProgressDialog final : public ExportProgressView {
 public:
  ExportProgressDialog(QWidget* parent, std::function<void()> cancel);
  ~ExportProgressDialog() override;
  ExportProgressDialog(const ExportProgressDialog&) = delete;
  ExportProgressDialog& operator=(const ExportProgressDialog&) = delete;

  QProgressDialog* Dialog() const;  // the open dialog, or nullptr

  void ShowProgress(const std::string& title, uint32_t done, uint32_t total) override;
  void CloseProgress() override;

 private:
  QWidget* parent_;
  std::function<void()> cancel_;
  QPointer<QProgressDialog> dialog_;
};

// How an export's worker hands its calls to the GUI thread: queued to `receiver`, and dropped
// when the receiver is gone before their turn. The receiver must outlive the worker.
RecordingExport::Post PostQueuedTo(QObject& receiver);

}  // namespace bf::ui
