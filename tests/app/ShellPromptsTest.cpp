// The Qt prompts: real message boxes and file dialogs, answered by a timer that finds the
// modal dialog once it is up.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "shell/QtUserPrompts.h"

namespace bf::ui {
namespace {

// Runs `answer` on the modal dialog as soon as the event loop shows it.
template <class Dialog, class F>
void WhenModal(F answer) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(dialog);
    }
  });
  poll->start(0);
}

TEST(QtUserPrompts, MessageBoxCarriesTitleTextIconAndButtons) {
  QtUserPrompts prompts;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(prompts.ShowMessage("Перезапустите?", "", MessageIcon::Question, MessageButtons::YesNo),
            MessageAnswer::No);
  EXPECT_EQ(title, "BrindleFlash 1.1.3");
  EXPECT_EQ(text, QString::fromUtf8("Перезапустите?"));
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);

  WhenModal<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(prompts.ShowMessage("x", "Ошибка", MessageIcon::Error, MessageButtons::Ok),
            MessageAnswer::Ok);
  EXPECT_EQ(title, QString::fromUtf8("Ошибка"));
  EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtUserPrompts, SaveDialogGetsFilterSuffixAndFolder) {
  QtUserPrompts prompts;
  QStringList filters;
  QString suffix;
  bool confirm = false;
  QString folder;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    suffix = dialog->defaultSuffix();
    confirm = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    folder = dialog->directory().absolutePath();
    dialog->reject();
  });
  FileDialogRequest request;
  request.filter = "Jpeg file (*.jpg)|*.jpg||";
  request.defaultExtension = "jpg";
  request.confirmOverwrite = true;
  request.initialDirectory = QDir::tempPath().toStdString();
  EXPECT_EQ(prompts.ChooseSaveFile(request), std::nullopt);
  EXPECT_EQ(filters, QStringList{"Jpeg file (*.jpg)"});
  EXPECT_EQ(suffix, "jpg");
  EXPECT_TRUE(confirm);
  EXPECT_EQ(folder, QDir(QDir::tempPath()).absolutePath());
}

TEST(QtUserPrompts, BusyCursorIsOneBalancedOverride) {
  {
    QtUserPrompts prompts;
    prompts.SetBusyCursor(true);
    prompts.SetBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    prompts.SetBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    prompts.SetBusyCursor(false);  // no stray restore
    prompts.SetBusyCursor(true);
  }
  // Left on at destruction: restored.
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUserPrompts, NarrowBoxIsAsWideAsItsCaption) {
  QtUserPrompts prompts;
  for (const char* caption : {"", "Ошибка ввода при копировании флеш-памяти камеры"}) {
    int width = 0;
    int needed = 0;
    int plain = 0;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      width = box->width();
      needed = CaptionWidth(*box);
      plain = box->fontMetrics().horizontalAdvance(box->windowTitle());
      box->button(QMessageBox::Ok)->click();
    });
    prompts.ShowMessage("x", caption, MessageIcon::None, MessageButtons::Ok);
    EXPECT_GT(needed, plain) << caption;
    EXPECT_GE(width, needed) << caption;
  }
}

}  // namespace
}  // namespace bf::ui
