#include "shell/ExportProgressDialog.h"

#include <QMetaObject>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>
#include <climits>

namespace bf::ui {

ExportProgressDialog::ExportProgressDialog(QWidget* parent, std::function<void()> cancel)
    : parent_(parent), cancel_(std::move(cancel)) {}

ExportProgressDialog::~ExportProgressDialog() {
  // The dialog belongs to the parent window and may outlive this object by a moment; its
  // Cancel must not reach a presenter that is gone.
  if (dialog_) {
    QObject::disconnect(dialog_, nullptr, nullptr, nullptr);
    dialog_->deleteLater();
  }
}

QProgressDialog* ExportProgressDialog::Dialog() const {
  return dialog_.data();
}

void ExportProgressDialog::ShowProgress(const std::string& title, uint32_t done, uint32_t total) {
  if (!dialog_) {
    dialog_ = new QProgressDialog(parent_);
    dialog_->setObjectName(QStringLiteral("exportProgress"));
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setCancelButtonText(QStringLiteral("Отмена"));
    QObject::connect(dialog_, &QProgressDialog::canceled, dialog_, [this] { cancel_(); });
  }
  dialog_->setWindowTitle(QString::fromStdString(title));
  dialog_->setMaximum(static_cast<int>(std::min<uint32_t>(total, INT32_MAX)));
  dialog_->setValue(static_cast<int>(std::min<uint32_t>(done, INT32_MAX)));
  dialog_->setLabelText(total == 0 ? QString()
                                   : QStringLiteral("Кадр %1 из %2").arg(done).arg(total));
  dialog_->show();
}

void ExportProgressDialog::CloseProgress() {
  if (dialog_) {
    QObject::disconnect(dialog_, nullptr, nullptr, nullptr);
    dialog_->deleteLater();
  }
  dialog_.clear();
}

RecordingExport::Post PostQueuedTo(QObject& receiver) {
  // Called on the worker thread: the presenter joins its worker before the receiver goes, so
  // the pointer is good for every call; a call still queued when the receiver dies is dropped.
  return [target = &receiver](std::function<void()> call) {
    QMetaObject::invokeMethod(target, std::move(call), Qt::QueuedConnection);
  };
}

}  // namespace bf::ui
