#include "shell/QtUserPrompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <algorithm>

#include "shell/FileDialogFilter.h"

namespace bf::ui {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

MessageAnswer FromQtButton(int button) {
  switch (button) {
    case QMessageBox::Cancel:
      return MessageAnswer::Cancel;
    case QMessageBox::Yes:
      return MessageAnswer::Yes;
    case QMessageBox::No:
      return MessageAnswer::No;
    default:
      return MessageAnswer::Ok;
  }
}

}  // namespace

int CaptionWidth(const QWidget& window) {
  // Title bars commonly use a bold face; beside the text they hold the window icon and the
  // close button, each about a title bar's height wide, and a margin on either side.
  QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
  titleFont.setBold(true);
  const int bar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
  return QFontMetrics(titleFont).horizontalAdvance(window.windowTitle()) + 3 * bar;
}

void KeepCaptionWhole(QMessageBox& box) {
  // A short text makes a narrow box, and the window manager then elides its caption. The box
  // sizes itself from its layout when shown, so the width goes in as a spacer across it.
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const int width = std::min(CaptionWidth(box), box.screen()->availableGeometry().width());
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

QtUserPrompts::~QtUserPrompts() {
  if (busy_) QApplication::restoreOverrideCursor();
}

MessageAnswer QtUserPrompts::ShowMessage(const std::string& text, const std::string& caption,
                                         MessageIcon icon, MessageButtons buttons) {
  const QString title =
      caption.empty() ? QCoreApplication::applicationName() : QString::fromStdString(caption);
  QMessageBox box(ToQtIcon(icon), title, QString::fromStdString(text), ToQtButtons(buttons),
                  parent_);
  KeepCaptionWhole(box);
  // A box over a busy window must still get an ordinary pointer.
  const bool wasBusy = busy_;
  if (wasBusy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = box.exec();
  if (wasBusy) QApplication::restoreOverrideCursor();
  return FromQtButton(result);
}

std::optional<std::string> QtUserPrompts::ChooseFile(const FileDialogRequest& request, bool save) {
  QFileDialog dialog(parent_, QString(), QString::fromStdString(request.initialDirectory));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const std::string filter = ToQtNameFilter(request.filter);
  if (!filter.empty())
    dialog.setNameFilters(QString::fromStdString(filter).split(QStringLiteral(";;")));
  if (!request.defaultExtension.empty()) {
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  }
  if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtUserPrompts::ChooseSaveFile(const FileDialogRequest& request) {
  return ChooseFile(request, true);
}

std::optional<std::string> QtUserPrompts::ChooseOpenFile(const FileDialogRequest& request) {
  return ChooseFile(request, false);
}

std::optional<std::string> QtUserPrompts::ChooseFolder(const std::string& initialDirectory) {
  const QString chosen = QFileDialog::getExistingDirectory(
      parent_, QString(), QString::fromStdString(initialDirectory));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

void QtUserPrompts::SetInputLocked(bool locked) {
  if (locked) {
    if (locked_ || !parent_) return;
    locked_ = parent_;
    lockedWasEnabled_ = locked_->isEnabled();
    locked_->setEnabled(false);
    return;
  }
  if (!locked_) return;
  // The wait runs on the link thread while this thread goes on handling events, so a click made
  // during it reached the disabled controls at once and was dropped there.
  locked_->setEnabled(lockedWasEnabled_);
  locked_.clear();
}

void QtUserPrompts::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

}  // namespace bf::ui
