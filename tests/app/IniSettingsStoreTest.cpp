// bfk reads the window's settings from the file QSettings writes, without Qt: written here by
// QSettings itself, read back by the plain reader.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "host/IniSettingsStore.h"
#include "host/SettingsStore.h"
#include "shell/QtSettingsStore.h"

namespace bf {
namespace {

TEST(IniSettingsStore, ReadsWhatQSettingsWrote) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("BrindleFlash 1.1.3.conf"));
  {
    ui::QtSettingsStore qt(path);
    ASSERT_TRUE(qt.WriteInt(settings::kSection, settings::kPlayerFps, 17));
    ASSERT_TRUE(qt.WriteInt(settings::kSection, settings::kLikeOriginal, 0));
    ASSERT_TRUE(
        qt.WriteString(settings::kSection, settings::kPath, "/home/оператор/rec, \"day 1\"\\ =x/"));
    ASSERT_TRUE(qt.WriteString("", settings::kInstallPath, " /opt/brindle flash "));
    ASSERT_TRUE(qt.WriteString("", "Tail", "@odd;value"));
  }
  IniSettingsStore ini(path.toStdString());
  EXPECT_EQ(ini.ReadInt(settings::kSection, settings::kPlayerFps, 10), 17);
  EXPECT_EQ(ini.ReadInt(settings::kSection, settings::kLikeOriginal, 1), 0);
  EXPECT_EQ(ini.ReadString(settings::kSection, settings::kPath, ""),
            "/home/оператор/rec, \"day 1\"\\ =x/");
  EXPECT_EQ(ini.ReadString("", settings::kInstallPath, ""), " /opt/brindle flash ");
  EXPECT_EQ(ini.ReadString("", "Tail", ""), "@odd;value");
  // Missing values and values of the wrong kind read as their defaults; nothing is written.
  EXPECT_EQ(ini.ReadInt(settings::kSection, "Missing", 10), 10);
  EXPECT_EQ(ini.ReadInt(settings::kSection, settings::kPath, 10), 10);
  EXPECT_FALSE(ini.WriteInt(settings::kSection, settings::kPlayerFps, 3));
  EXPECT_EQ(IniSettingsStore("/nonexistent/x.conf").ReadInt("Settings", "Player fps", 10), 10);
}

TEST(IniSettingsStore, LivesWhereQSettingsKeepsTheWindowsSettings) {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  {
    QSettings native(QStringLiteral("Kelvane"), QStringLiteral("BrindleFlash 1.1.3"));
    native.setValue(QStringLiteral("Settings/Player fps"), 4);
    native.sync();
    ASSERT_EQ(native.fileName().toStdString(), WindowSettingsPath());
  }
  EXPECT_EQ(IniSettingsStore(WindowSettingsPath()).ReadInt("Settings", "Player fps", 10), 4);
  qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace bf
