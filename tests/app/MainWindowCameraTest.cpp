// The camera-settings handlers, driven through the real widgets against the simulated camera.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <QKeyEvent>
#include <QWheelEvent>

#include "MainWindowFixture.h"
#include "link/StatusText.h"
#include "support/MissingFolderText.h"

namespace bf::test {
namespace {

using namespace bf::ui;

TEST_F(MainWindowTest, SettingsControlsSendTheirCommands) {
  options.frameRateIndex = 3;
  options.monochrome = false;
  options.compression = 2;
  options.motionDetector = true;
  Start();
  const auto& model = camera->Model();

  L(IDC_FRAME_RATE)->setFocus();
  QTest::keyClick(L(IDC_FRAME_RATE), Qt::Key_Down);
  Settle();
  EXPECT_EQ(model.Settings().frameRateIndex, 4);

  QTest::keyClick(L(IDC_COLOUR), Qt::Key_Up);  // "Цветной" -> "Черно-белый"
  Settle();
  EXPECT_TRUE(model.Settings().monochrome);

  // A key move ends when its quiet time has passed; the top of the compression slider is 0.
  KeyStep(S(IDC_COMPRESSION), Qt::Key_Up);
  EXPECT_EQ(S(IDC_COMPRESSION)->value(), 1);
  EXPECT_EQ(model.Settings().compression, 1);
  KeyStep(S(IDC_COMPRESSION), Qt::Key_Home);
  EXPECT_EQ(model.Settings().compression, 0);

  // Sensitivity is sent as 5 minus the position: fully right ("100%") sends 0.
  KeyStep(S(IDC_SENSITIVITY), Qt::Key_End);
  EXPECT_EQ(S(IDC_SENSITIVITY)->value(), 5);
  EXPECT_EQ(model.Sensitivity(), 0);

  Click(IDC_LEDS_OFF);
  EXPECT_FALSE(model.LedsOn());
  Click(IDC_LEDS_OFF);
  EXPECT_TRUE(model.LedsOn());

  Click(IDC_AUTONOMOUS);
  EXPECT_TRUE(model.Autonomous());
  Click(IDC_AUTONOMOUS);
  EXPECT_FALSE(model.Autonomous());

  Click(IDC_EXT_RECORDING);
  EXPECT_TRUE(model.ExternalRecording());

  Click(IDC_DETECTOR_OFF);
  EXPECT_FALSE(model.Settings().motionDetector);
  EXPECT_EQ(window->Camera().State().live.frameTimeout, kFrameTimeoutDetectorOff);
  Click(IDC_DETECTOR_ON);
  EXPECT_TRUE(model.Settings().motionDetector);
  EXPECT_EQ(window->Camera().State().live.frameTimeout, kFrameTimeoutUnlimited);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainWindowTest, CompressionAndColourChangesWaitForTheNextHeader) {
  Start();
  KeyStep(S(IDC_COMPRESSION), Qt::Key_Down);
  EXPECT_EQ(window->Camera().LinkLiveState().settingsPending, 1);
  // Without a live view no header comes: the busy cursor must not stay on.
  EXPECT_TRUE(prompts.busyCursor.empty() || !prompts.busyCursor.back());
}

TEST_F(MainWindowTest, SettingsChangesWhileTheCameraRecordsOnItsOwnLeaveNoBusyCursor) {
  Start();
  Click(IDC_AUTONOMOUS);
  Click(IDC_START_STOP);  // the button is in, but no live loop reads anything
  ASSERT_EQ(StartStopCaption(), "Стоп");
  KeyStep(S(IDC_COMPRESSION), Qt::Key_Down);
  QTest::keyClick(L(IDC_COLOUR), Qt::Key_Up);
  Settle();
  EXPECT_EQ(window->Camera().LinkLiveState().settingsPending, 1);
  EXPECT_TRUE(prompts.busyCursor.empty() || !prompts.busyCursor.back());
}

// A key held down: the press, then pairs of auto-repeat release and press, then the release.
void HoldKey(QWidget* widget, Qt::Key key, int repeats) {
  QKeyEvent first(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &first);
  for (int i = 0; i < repeats; ++i) {
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget, &up);
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget, &down);
  }
  QKeyEvent last(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &last);
}

std::vector<std::vector<uint8_t>> WritesOf(const RecordingBackend& backend, uint8_t code,
                                           std::size_t mark) {
  std::vector<std::vector<uint8_t>> found;
  for (std::size_t i = mark; i < backend.writes.size(); ++i) {
    if (!backend.writes[i].empty() && backend.writes[i][0] == code)
      found.push_back(backend.writes[i]);
  }
  return found;
}

TEST_F(MainWindowTest, HeldKeySendsOneCommandWhenTheMoveEnds) {
  options.compression = 0;
  options.motionDetector = true;
  Start();
  std::size_t mark = backend->writes.size();
  HoldKey(S(IDC_COMPRESSION), Qt::Key_Down, 3);  // four steps towards best quality
  EXPECT_TRUE(WritesOf(*backend, CMD_SET_COMPRESSION, mark).empty());
  quietTimers.RunOutAll();
  Settle();
  EXPECT_EQ(S(IDC_COMPRESSION)->value(), 4);
  EXPECT_EQ(WritesOf(*backend, CMD_SET_COMPRESSION, mark),
            (std::vector<std::vector<uint8_t>>{{CMD_SET_COMPRESSION, 4}}));
  EXPECT_EQ(camera->Model().Settings().compression, 4);

  mark = backend->writes.size();
  HoldKey(S(IDC_SENSITIVITY), Qt::Key_Right, 2);
  quietTimers.RunOutAll();
  Settle();
  EXPECT_EQ(S(IDC_SENSITIVITY)->value(), 3);
  EXPECT_EQ(WritesOf(*backend, CMD_SET_SENSITIVITY, mark),
            (std::vector<std::vector<uint8_t>>{{CMD_SET_SENSITIVITY, 2}}));
}

TEST_F(MainWindowTest, MouseMovesSendOnceOnRelease) {
  options.compression = 0;
  Start();
  QSlider* slider = S(IDC_COMPRESSION);
  // A press on the groove below the handle pages towards it until the button is let go.
  std::size_t mark = backend->writes.size();
  const QPoint groove(slider->width() * 2 / 5, slider->height() * 3 / 4);
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, groove);
  EXPECT_TRUE(WritesOf(*backend, CMD_SET_COMPRESSION, mark).empty());
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, groove);
  Settle();
  const auto paged = WritesOf(*backend, CMD_SET_COMPRESSION, mark);
  ASSERT_EQ(paged.size(), 1u);
  EXPECT_EQ(paged[0][1], slider->value());
  EXPECT_GT(slider->value(), 0);

  // The wheel: each step is a move of its own.
  mark = backend->writes.size();
  const int before = slider->value();
  QWheelEvent wheel(QPointF(slider->width() / 2.0, slider->height() / 2.0),
                    slider->mapToGlobal(QPointF(slider->width() / 2.0, slider->height() / 2.0)),
                    QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                    false);
  QApplication::sendEvent(slider, &wheel);
  Settle();
  ASSERT_NE(slider->value(), before);
  const auto wheeled = WritesOf(*backend, CMD_SET_COMPRESSION, mark);
  ASSERT_EQ(wheeled.size(), 1u);
  EXPECT_EQ(wheeled[0][1], slider->value());
}

TEST_F(MainWindowTest, DetectorRadiosSwitchSensitivityEvenWhenTheCommandFails) {
  options.motionDetector = false;
  Start();
  ASSERT_FALSE(W(IDC_SENSITIVITY)->isEnabled());

  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  Click(IDC_DETECTOR_ON);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_TRUE(W(IDC_SENSITIVITY)->isEnabled());
  EXPECT_TRUE(B(IDC_DETECTOR_ON)->isChecked());  // the control keeps the operator's choice
  EXPECT_FALSE(camera->Model().Settings().motionDetector);

  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  Click(IDC_DETECTOR_OFF);
  EXPECT_EQ(prompts.shown.size(), 2u);
  EXPECT_FALSE(W(IDC_SENSITIVITY)->isEnabled());
  EXPECT_TRUE(B(IDC_DETECTOR_OFF)->isChecked());
}

TEST_F(MainWindowTest, RotationRadiosTurnTheNextPictureOnly) {
  Start();
  Click(IDC_ROTATE_90);
  EXPECT_EQ(window->PlayerWindow().GetRotation(), Rotation::Cw90);
  EXPECT_FALSE(B(IDC_ROTATE_0)->isChecked());
  Click(IDC_ROTATE_270);
  EXPECT_EQ(window->PlayerWindow().GetRotation(), Rotation::Cw270);
  EXPECT_FALSE(B(IDC_ROTATE_90)->isChecked());
  const std::size_t mark = backend->writes.size();
  Click(IDC_ROTATE_0);
  EXPECT_EQ(backend->writes.size(), mark);  // no command for a rotation
}

TEST_F(MainWindowTest, ServiceTestButtonWritesTwoSeparateBytes) {
  Start();
  const std::size_t mark = backend->writes.size();
  B(IDC_TEST)->click();
  Settle();
  ASSERT_EQ(backend->writes.size(), mark + 2);
  EXPECT_EQ(backend->writes[mark], std::vector<uint8_t>{CMD_TEST});
  EXPECT_EQ(backend->writes[mark + 1], std::vector<uint8_t>{1});

  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  B(IDC_TEST)->click();
  Settle();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(ftstatus::kIoError));
}

TEST_F(MainWindowTest, ReadRxSavesOnlyThePendingBytes) {
  Start();
  camera->InjectGarbage(300);
  const std::string path = (TempDir() / "rx.bin").string();
  prompts.saveFiles.push_back(path);
  B(IDC_READ_RX)->click();
  Settle();
  ASSERT_EQ(prompts.saveRequests.size(), 1u);
  EXPECT_TRUE(prompts.saveRequests[0].confirmOverwrite);
  EXPECT_TRUE(prompts.saveRequests[0].filter.empty());
  EXPECT_EQ(std::filesystem::file_size(path), 300u);
  EXPECT_TRUE(prompts.shown.empty());

  // Nothing pending: no dialog at all.
  B(IDC_READ_RX)->click();
  Settle();
  EXPECT_EQ(prompts.saveRequests.size(), 1u);
}

TEST_F(MainWindowTest, AllDataCopiesEverythingUntilTheCameraFallsSilent) {
  Start();
  camera->InjectGarbage(100'000);
  const std::string path = (TempDir() / "all.bin").string();
  prompts.saveFiles.push_back(path);
  B(IDC_ALL_DATA)->click();
  Settle();
  EXPECT_EQ(std::filesystem::file_size(path), 100'000u);
  EXPECT_TRUE(prompts.shown.empty());
  ASSERT_GE(prompts.busyCursor.size(), 2u);
  EXPECT_FALSE(prompts.busyCursor.back());
}

TEST_F(MainWindowTest, AllDataReportsAFileThatCannotBeCreated) {
  Start();
  const std::string path = (TempDir() / "missing-folder" / "all.bin").string();
  prompts.saveFiles.push_back(path);
  B(IDC_ALL_DATA)->click();
  Settle();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, test::MissingFolderText(path));
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
}

TEST_F(MainWindowTest, AllDataReportsALinkFailureAndEndsTheBusyCursor) {
  Start();
  camera->InjectGarbage(1000);
  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  prompts.saveFiles.push_back((TempDir() / "all.bin").string());
  B(IDC_ALL_DATA)->click();
  Settle();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(ftstatus::kIoError));
  EXPECT_FALSE(prompts.busyCursor.back());
}

TEST_F(MainWindowTest, ServiceOutputsReplaceTheOpenRecordingWithoutHarmingItsMapping) {
  const std::string rec = WriteRecording(5);
  Start(rec);
  Click(IDC_BEGIN);
  // A short file over the recording: overwritten in place, the later frames' pages would be
  // gone from under the mapping.
  camera->InjectGarbage(300);
  prompts.saveFiles.push_back(rec);
  B(IDC_READ_RX)->click();
  Settle();
  EXPECT_EQ(std::filesystem::file_size(rec), 300u);
  Click(IDC_END);
  EXPECT_EQ(window->RecordingPlayer().Position(), 4u);
  EXPECT_TRUE(window->PlayerWindow().HasPicture());  // the old frame, decoded

  camera->InjectGarbage(70'000);
  prompts.saveFiles.push_back(rec);
  B(IDC_ALL_DATA)->click();
  Settle();
  EXPECT_EQ(std::filesystem::file_size(rec), 70'000u);
  Click(IDC_BEGIN);
  EXPECT_EQ(window->RecordingPlayer().Position(), 0u);
  EXPECT_TRUE(window->PlayerWindow().HasPicture());
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainWindowTest, ServiceOutputsOnAFullDeviceReportTheDiskFullText) {
  Start();
  std::string full = (TempDir() / "full").string();
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) full = "/dev/full";
  camera->InjectGarbage(1000);
  prompts.saveFiles.push_back(full);
  B(IDC_ALL_DATA)->click();
  Settle();
  camera->InjectGarbage(1000);
  prompts.saveFiles.push_back(full);
  B(IDC_READ_RX)->click();
  Settle();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].text, "Disk full while accessing " + full + ".");
  EXPECT_EQ(prompts.shown[1].text, "Disk full while accessing " + full + ".");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_TRUE(std::filesystem::is_character_file(full));
  EXPECT_FALSE(prompts.busyCursor.back());
}

TEST_F(MainWindowTest, ReconnectButtonReopensTheDevice) {
  Start();
  const std::size_t purges = backend->purges.size();
  B(IDC_CUB)->click();
  Settle();
  EXPECT_TRUE(prompts.shown.empty());
  ASSERT_EQ(backend->purges.size(), purges + 1);
  EXPECT_EQ(backend->purges.back(), kPurgeRx | kPurgeTx);
  EXPECT_TRUE(window->Link().Handle() != nullptr);
  // The link works after the reopen.
  Click(IDC_LEDS_OFF);
  EXPECT_FALSE(camera->Model().LedsOn());
}

}  // namespace
}  // namespace bf::test
