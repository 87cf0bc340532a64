// Qt's own dialogs follow the system's language; the application names itself and its version.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "application/CBrindleFlashApp.h"
#include "shell/QtTranslations.h"

namespace bf::ui {
namespace {

bool HasCyrillic(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF) return true;
  }
  return false;
}

QString CancelButtonText() {
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  return box.button(QMessageBox::Cancel)->text();
}

TEST(QtTranslations, ARussianLocaleGetsRussianMessageBoxButtonsAndFileDialogs) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  QTranslator* translator = InstallQtTranslations(russian);
  ASSERT_NE(translator, nullptr) << "qtbase_ru.qm missing (package qt6-translations-l10n)";

  EXPECT_EQ(CancelButtonText(), QString::fromUtf8("Отмена"));
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QString lookIn = dialog.labelText(QFileDialog::LookIn);
  EXPECT_NE(lookIn, QStringLiteral("Look in:"));
  EXPECT_TRUE(HasCyrillic(lookIn)) << lookIn.toStdString();

  QCoreApplication::removeTranslator(translator);
  delete translator;
  EXPECT_EQ(CancelButtonText(), QStringLiteral("Cancel"));
}

TEST(QtTranslations, ALanguageQtHasNoTranslationForKeepsTheEnglishTexts) {
  QTranslator* translator = InstallQtTranslations(QLocale(QLocale::Swahili, QLocale::Kenya));
  EXPECT_EQ(translator, nullptr);
  EXPECT_EQ(CancelButtonText(), QStringLiteral("Cancel"));
}

TEST(ApplicationIdentity, NameCompanyAndVersion) {
  CBrindleFlashApp::NameApplication();
  EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("BrindleFlash 1.1.3"));
  EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("Kelvane"));
  EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral("1.1.3.183"));
}

}  // namespace
}  // namespace bf::ui
