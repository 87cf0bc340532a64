// bfk follows the settings the window writes: both go through QSettings under the same names,
// so what the window's store keeps is what bfk reads.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "host/SettingsStore.h"
#include "settings/QtSettingsStore.h"
#include "support/Environment.h"
#include "support/RunProgram.h"

namespace bf {
namespace {

// The user's native store moved into a folder of the test's own, for QSettings in this process
// and (through XDG_CONFIG_HOME) for bfk.
class BfkReadsWindowSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  }
  void TearDown() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString());
  }

  std::string Path(const char* name) const {
    return dir_.filePath(QString::fromUtf8(name)).toStdString();
  }

  test::ProgramRun Bfk(const std::string& args) const { return test::RunBfk(args); }

  QTemporaryDir dir_;
  test::ScopedEnvironment config_{"XDG_CONFIG_HOME", dir_.path().toStdString()};
};

TEST_F(BfkReadsWindowSettings, InstallPathNamesTheHeaderTable) {
  const std::string rec = Path("s.bfk");
  ASSERT_EQ(Bfk("sample -o '" + rec + "' --frames 2 --recordings 1").exitCode, 0);
  {
    QtSettingsStore window;
    ASSERT_TRUE(window.WriteString("", settings::kInstallPath, Path("install")));
  }
  const test::ProgramRun run = Bfk("frames '" + rec + "' -d '" + Path("out") + "'");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.output.find(Path("install")), std::string::npos) << run.output;
}

#ifdef BF_BFK_VIDEO
TEST_F(BfkReadsWindowSettings, PlayerFpsPacesTheVideo) {
  const std::string rec = Path("s.bfk");
  const std::string video = Path("v.mkv");
  ASSERT_EQ(Bfk("sample -o '" + rec + "' --frames 6 --recordings 1").exitCode, 0);
  {
    QtSettingsStore window;
    ASSERT_TRUE(window.WriteInt(settings::kSection, settings::kPlayerFps, 4));
  }
  const test::ProgramRun run = Bfk("video '" + rec + "' -o '" + video + "'");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const test::ProgramRun probe =
      test::RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + video + "'");
  ASSERT_EQ(probe.exitCode, 0);
  EXPECT_NEAR(std::stod(probe.output), 1.5, 0.001);  // 6 frames at 4 a second
}
#endif

}  // namespace
}  // namespace bf
