// The application shell: file dialog filters, where headers.dat is looked for, the command
// line, the About box.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <set>

#include "application/CBrindleFlashApp.h"
#include "frames/HeaderTableLocation.h"
#include "frames/JpegHeaderTable.h"
#include "shell/CAboutDlg.h"
#include "shell/FileDialogFilter.h"

namespace bf::ui {
namespace {

TEST(FileDialogFilter, TranslatesTheClassicFilterForm) {
  EXPECT_EQ(ToQtNameFilter("Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||"),
            "Brindle file (*.bfk);;All files (*.*)");
  EXPECT_EQ(ToQtNameFilter("Jpeg file (*.jpg)|*.jpg||"), "Jpeg file (*.jpg)");
  // Descriptions that do not name their patterns get them appended, as Qt reads them there.
  EXPECT_EQ(ToQtNameFilter("Images|*.jpg;*.png|Everything|*||"),
            "Images (*.jpg *.png);;Everything (*)");
  EXPECT_EQ(ToQtNameFilter(""), "");
  EXPECT_EQ(ParseMfcFilter("Dangling|").size(), 0u);
}

TEST(HeaderTableLocation, StoredPathWinsThenCurrentDirectoryThenProgramThenDataFolder) {
  std::set<std::string> present;
  auto exists = [&](const std::string& p) { return present.count(p) != 0; };
  EXPECT_EQ(HeaderTableFolder("/opt/bf", "/usr/bin", exists), "/opt/bf");
  EXPECT_EQ(HeaderTableFolder("", "/usr/bin", exists), "");  // nowhere: the rule's folder
  // An installed package keeps the table in share/brindleflash beside bin.
  present.insert(HeaderTablePath("/usr/share/brindleflash"));
  EXPECT_EQ(HeaderTableFolder("", "/usr/bin", exists), "/usr/share/brindleflash");
  EXPECT_EQ(HeaderTableFolder("", "", exists), "");
  present.insert(HeaderTablePath("/usr/bin"));
  EXPECT_EQ(HeaderTableFolder("", "/usr/bin", exists), "/usr/bin");
  present.insert(HeaderTablePath(""));
  EXPECT_EQ(HeaderTableFolder("", "/usr/bin", exists), "");
  EXPECT_EQ(HeaderTablePath(""), "./headers.dat");
}

TEST(CommandLine, IsEveryArgumentAfterTheProgramJoinedBySpaces) {
  EXPECT_EQ(CBrindleFlashApp::CommandLineText({"BrindleFlash"}), "");
  EXPECT_EQ(CBrindleFlashApp::CommandLineText({"BrindleFlash", "/rec/my", "day.bfk"}),
            "/rec/my day.bfk");
}

TEST(AboutBox, ShowsCaptionIconVersionAndOk) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About BrindleFlash02");
  auto* version = about.findChild<QLabel*>("aboutVersion");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(version->text(), "BrindleFlash Version 1.1.3");
  auto* icon = about.findChild<QLabel*>("aboutIcon");
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());
  auto* ok = about.findChild<QPushButton*>("aboutOk");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), "OK");
  about.show();
  ok->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}

}  // namespace
}  // namespace bf::ui
