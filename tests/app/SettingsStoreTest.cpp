// The QSettings-backed store: sections as groups, the application key at the top level,
// defaults for missing and unreadable values.
#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include "settings/QtSettingsStore.h"

namespace bf::ui {
namespace {

TEST(QtSettingsStore, RoundTripsAndFallsBackToDefaults) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("bf.ini");
  {
    QtSettingsStore store(path);
    EXPECT_EQ(store.ReadInt("Settings", "Player fps", 10), 10);
    EXPECT_EQ(store.ReadString("Settings", "Path", ""), "");
    EXPECT_EQ(store.ReadString("", "InstallPath", ""), "");
    EXPECT_TRUE(store.WriteInt("Settings", "Player fps", 17));
    EXPECT_TRUE(store.WriteInt("Settings", "Like original", 0));
    EXPECT_TRUE(store.WriteString("Settings", "Path", "/rec/Привет/"));
  }
  {
    QSettings raw(path, QSettings::IniFormat);
    EXPECT_EQ(raw.value("Settings/Player fps").toInt(), 17);
    raw.setValue("InstallPath", "/opt/bf");             // the application key itself
    raw.setValue("Settings/Like original", "garbage");  // unreadable as a number
    raw.sync();
  }
  QtSettingsStore store(path);
  EXPECT_EQ(store.ReadInt("Settings", "Player fps", 10), 17);
  EXPECT_EQ(store.ReadInt("Settings", "Like original", 1), 1);
  EXPECT_EQ(store.ReadString("Settings", "Path", ""), "/rec/Привет/");
  EXPECT_EQ(store.ReadString("", "InstallPath", ""), "/opt/bf");
  EXPECT_EQ(store.ReadString("Settings", "InstallPath", "none"), "none");
}

TEST(QtSettingsStore, ReportsAWriteThatCannotReachTheDisk) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A folder where the file should be: the store cannot be written.
  ASSERT_TRUE(QDir(dir.path()).mkdir("bf.ini"));
  QtSettingsStore store(dir.filePath("bf.ini"));
  EXPECT_FALSE(store.WriteInt("Settings", "Player fps", 3));
}

}  // namespace
}  // namespace bf::ui
