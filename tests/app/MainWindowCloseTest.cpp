// Closing the main window: "Выход" and Enter save the player settings, the close box and
// Escape do not; a running live view is stopped unless the camera records on its own.
#include <QCloseEvent>

#include "MainWindowFixture.h"

namespace bf::test {
namespace {

using namespace bf::ui;

bool Saved(MemorySettingsStore& store) {
  return store.Has(settings::kSection, settings::kPlayerFps) ||
         store.Has(settings::kSection, settings::kLikeOriginal);
}

TEST_F(MainWindowTest, ExitButtonSavesRateAndMode) {
  settings.WriteInt(settings::kSection, settings::kPlayerFps, 12);
  settings.WriteInt(settings::kSection, settings::kLikeOriginal, 0);
  Start(WriteRecording(2));  // the mode radios belong to the player group
  Click(IDC_LIKE_ORIGINAL);
  Click(IDOK_EXIT);
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kPlayerFps, -1), 12);
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kLikeOriginal, -1), 1);
}

TEST_F(MainWindowTest, EnterPressesExit) {
  Start();
  window->activateWindow();
  QTest::keyClick(window.get(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kPlayerFps, -1), 10);
  EXPECT_EQ(settings.ReadInt(settings::kSection, settings::kLikeOriginal, -1), 1);
}

TEST_F(MainWindowTest, CloseBoxAndEscapeSaveNothing) {
  Start();
  window->close();
  Settle();
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_FALSE(Saved(settings));

  window->show();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  Settle();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_FALSE(Saved(settings));
}

TEST_F(MainWindowTest, ExitDuringLiveViewStopsTheStream) {
  Start();
  bool clicked = false;
  WhileLive([&](int) {
    clicked = true;
    Click(IDOK_EXIT);
    return true;
  });
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM));
  EXPECT_FALSE(camera->Model().Streaming());
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_TRUE(Saved(settings));
}

TEST_F(MainWindowTest, ExitLeavesAnAutonomousCameraRunning) {
  Start();
  Click(IDC_AUTONOMOUS);
  Click(IDC_START_STOP);
  ASSERT_TRUE(camera->Model().Streaming());
  const std::size_t mark = backend->writes.size();
  Click(IDOK_EXIT);
  EXPECT_FALSE(backend->Sent(CMD_STOP_STREAM, mark));
  EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(MainWindowTest, ExitIgnoresALinkFailureWhenStoppingTheStream) {
  Start();
  WhileLive([&](int) {
    // The next device call after the stop request has been taken fails.
    camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
    Click(IDOK_EXIT);
    return true;
  });
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_TRUE(Saved(settings));
}

}  // namespace
}  // namespace bf::test

namespace bf::test {
namespace {

using namespace bf::ui;

TEST_F(MainWindowTest, CloseBoxDuringLiveViewEndsTheLoopWithoutSaving) {
  options.frameRateIndex = 7;  // frames keep coming: the loop never times out by itself
  Start();
  bool closed = false;
  WhileLive([&](int) {
    closed = true;
    window->close();
    return true;
  });  // returns only once the loop has ended
  EXPECT_TRUE(closed);
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_TRUE(backend->Sent(CMD_STOP_STREAM));
  EXPECT_FALSE(camera->Model().Streaming());
  EXPECT_FALSE(settings.Has(settings::kSection, settings::kPlayerFps));
}

TEST_F(MainWindowTest, EnterOnAFocusedPushButtonPressesThatButton) {
  Start(WriteRecording(3));
  W(IDC_END)->setFocus();
  QTest::keyClick(W(IDC_END), Qt::Key_Return);
  EXPECT_EQ(window->RecordingPlayer().Position(), 2u);
  EXPECT_TRUE(window->isVisible());
}

}  // namespace
}  // namespace bf::test
