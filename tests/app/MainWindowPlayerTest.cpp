// The player group as the main window wires it: open, navigate, play on the virtual timer,
// the rate clamp and the camera controls during playback.
#include <QToolButton>
#include "MainWindowFixture.h"

#include "recordings/Player.h"
#include "shell/UpDownControl.h"

namespace bf::test {
namespace {

using namespace bf::ui;

TEST_F(MainWindowTest, OpenButtonRemembersTheFolderAndLoads) {
  const std::string path = WriteRecording(3);
  settings.WriteString(settings::kSection, settings::kPath, "/somewhere/");
  Start();
  prompts.openFiles.push_back(path);
  Click(IDC_OPEN);
  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].filter, "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||");
  EXPECT_EQ(prompts.openRequests[0].defaultExtension, "bfk");
  EXPECT_EQ(prompts.openRequests[0].initialDirectory, "/somewhere/");
  EXPECT_EQ(settings.ReadString(settings::kSection, settings::kPath, ""), TempDir().string() + "/");
  EXPECT_EQ(window->RecordingPlayer().Count(), 3u);
  EXPECT_TRUE(W(IDC_NEXT)->isEnabled());
}

TEST_F(MainWindowTest, NavigationButtonsMoveSliderAndPicture) {
  Start(WriteRecording(7));
  Click(IDC_END);
  EXPECT_EQ(S(IDC_POSITION)->value(), 6);
  EXPECT_EQ(window->RecordingPlayer().Position(), 6u);
  EXPECT_TRUE(window->PlayerWindow().HasPicture());
  Click(IDC_NEXT);  // past the end: refused, slider stays
  EXPECT_EQ(S(IDC_POSITION)->value(), 6);
  Click(IDC_PREVIOUS);
  EXPECT_EQ(S(IDC_POSITION)->value(), 5);
  Click(IDC_BEGIN);
  EXPECT_EQ(S(IDC_POSITION)->value(), 0);
  EXPECT_EQ(window->RecordingPlayer().Position(), 0u);
  // Keyboard moves of the slider navigate as they happen.
  QTest::keyClick(S(IDC_POSITION), Qt::Key_Right);
  EXPECT_EQ(window->RecordingPlayer().Position(), 1u);
}

// The group is drawn from its presenter's state after every handler: a thumb the operator moved
// stays where it is when something else in the group changes.
TEST_F(MainWindowTest, SliderMovedByTheOperatorStaysThroughOtherChanges) {
  Start(WriteRecording(7));
  Click(IDC_END);
  QTest::keyClick(S(IDC_POSITION), Qt::Key_Left);
  QTest::keyClick(S(IDC_POSITION), Qt::Key_Left);
  ASSERT_EQ(window->RecordingPlayer().Position(), 4u);
  Click(IDC_OTHER_RATE);
  EXPECT_EQ(S(IDC_POSITION)->value(), 4);
  EXPECT_TRUE(B(IDC_OTHER_RATE)->isChecked());
  EXPECT_FALSE(B(IDC_LIKE_ORIGINAL)->isChecked());
  EXPECT_TRUE(W(IDC_RATE_SPIN)->isEnabled());
  Click(IDC_LIKE_ORIGINAL);
  EXPECT_EQ(S(IDC_POSITION)->value(), 4);
  EXPECT_TRUE(B(IDC_LIKE_ORIGINAL)->isChecked());
  EXPECT_FALSE(B(IDC_OTHER_RATE)->isChecked());
  EXPECT_FALSE(W(IDC_RATE_SPIN)->isEnabled());
}

TEST_F(MainWindowTest, StoredRatesOutsideTheRangeAreClampedWhenPlayPressed) {
  for (const auto& [stored, clamped] : {std::pair{0, 1}, std::pair{25, 20}}) {
    SCOPED_TRACE(stored);
    settings.WriteInt(settings::kSection, settings::kPlayerFps, stored);
    settings.WriteInt(settings::kSection, settings::kLikeOriginal, 0);
    Start(WriteRecording(30));
    EXPECT_EQ(RateText(), QString::number(stored));
    Click(IDC_PLAY);
    EXPECT_EQ(RateText(), QString::number(clamped));
    EXPECT_TRUE(window->RecordingPlayer().IsPlaying());
    EXPECT_EQ(window->RecordingPlayer().GroupSize(), static_cast<uint32_t>(clamped));
    EXPECT_EQ(window->RecordingPlayer().FrameDelay(), 1000u / static_cast<uint32_t>(clamped));
    Click(IDC_STOP);
    window.reset();
  }
}

TEST_F(MainWindowTest, PlaybackLocksCameraControlsUntilItEnds) {
  Start(WriteRecording(3));
  ASSERT_TRUE(W(IDC_START_STOP)->isEnabled());
  Click(IDC_PLAY);
  EXPECT_FALSE(W(IDC_START_STOP)->isEnabled());
  EXPECT_FALSE(W(IDC_FLASH_ERASE)->isEnabled());
  // Like original, one frame a second: the run ends a little after the third frame.
  timer.RunFor(5'000);
  QCoreApplication::processEvents();  // the queued position messages
  EXPECT_FALSE(window->RecordingPlayer().IsPlaying());
  EXPECT_EQ(S(IDC_POSITION)->value(), 2);  // clamped to the last frame
  EXPECT_TRUE(W(IDC_START_STOP)->isEnabled());
}

TEST_F(MainWindowTest, StopWithoutCameraKeepsCameraControlsOff) {
  Start(WriteRecording(3), /*withCamera=*/false);
  Click(IDC_PLAY);
  ASSERT_TRUE(window->RecordingPlayer().IsPlaying());
  Click(IDC_STOP);
  EXPECT_FALSE(window->RecordingPlayer().IsPlaying());
  EXPECT_FALSE(W(IDC_START_STOP)->isEnabled());
}

TEST_F(MainWindowTest, RateSpinChangesTheRateOnlyInOtherMode) {
  Start(WriteRecording(3));
  auto* spin = ControlAs<UpDownControl>(IDC_RATE_SPIN);
  EXPECT_FALSE(spin->isEnabled());
  Click(IDC_OTHER_RATE);
  EXPECT_TRUE(spin->isEnabled());
  EXPECT_FALSE(window->RecordingPlayer().LikeOriginal());
  QTest::mouseClick(spin->upButton(), Qt::LeftButton);
  EXPECT_EQ(RateText(), "11");
  EXPECT_EQ(window->RecordingPlayer().GroupSize(), 11u);
  spin->setFocus();
  QTest::keyClick(spin, Qt::Key_Down);
  QTest::keyClick(spin, Qt::Key_Down);
  EXPECT_EQ(RateText(), "9");
  Click(IDC_LIKE_ORIGINAL);
  EXPECT_FALSE(spin->isEnabled());
  EXPECT_TRUE(window->RecordingPlayer().LikeOriginal());
  Click(IDOK_EXIT);
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kPlayerFps, -1), 9);
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kLikeOriginal, -1), 1);
}

TEST_F(MainWindowTest, OpeningWhilePlayingStopsPlaybackFirst) {
  const std::string first = WriteRecording(10, "a.bfk");
  const std::string second = WriteRecording(4, "b.bfk");
  Start(first);
  Click(IDC_PLAY);
  ASSERT_TRUE(window->RecordingPlayer().IsPlaying());
  prompts.openFiles.push_back(second);
  // "Открыть..." is not live-locked; playback only locks the camera controls.
  Click(IDC_OPEN);
  EXPECT_FALSE(window->RecordingPlayer().IsPlaying());
  EXPECT_EQ(window->RecordingPlayer().Count(), 4u);
  EXPECT_TRUE(W(IDC_START_STOP)->isEnabled());
  EXPECT_EQ(S(IDC_POSITION)->maximum(), 3);
}

}  // namespace
}  // namespace bf::test
