// Start-up of the main window: the handshake with and without a camera, the stored player
// settings, the recording named on the command line.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <iterator>

#include "MainWindowFixture.h"
#include "link/StatusText.h"
#include "recordings/Player.h"
#include "shell/StartupHeaderTable.h"

namespace bf::test {
namespace {

using namespace bf::ui;

constexpr int kCameraIds[] = {IDC_START_STOP,  IDC_AUTONOMOUS,  IDC_FRAME_RATE,   IDC_COLOUR,
                              IDC_COMPRESSION, IDC_DETECTOR_ON, IDC_DETECTOR_OFF, IDC_SET_CLOCK,
                              IDC_FLASH_SAVE,  IDC_FLASH_ERASE, IDC_LEDS_OFF,     IDC_EXT_RECORDING,
                              IDC_ROTATE_0,    IDC_ROTATE_90,   IDC_ROTATE_180,   IDC_ROTATE_270,
                              IDC_SENSITIVITY};
constexpr int kPlayerIds[] = {IDC_BEGIN,      IDC_PREVIOUS, IDC_NEXT,     IDC_END,
                              IDC_PLAY,       IDC_STOP,     IDC_POSITION, IDC_LIKE_ORIGINAL,
                              IDC_OTHER_RATE, IDC_EXPORT,   IDC_RATE_SPIN};

TEST_F(MainWindowTest, WithoutCameraReportsInitFailureAndKeepsCameraControlsOff) {
  Start("", /*withCamera=*/false);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка инициализации камеры.\nУстройство не найдено");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown[0].caption, "");
  for (int id : kCameraIds) EXPECT_FALSE(W(id)->isEnabled()) << id;
  for (int id : kPlayerIds) EXPECT_FALSE(W(id)->isEnabled()) << id;
  EXPECT_TRUE(W(IDC_OPEN)->isEnabled());
  EXPECT_TRUE(W(IDOK_EXIT)->isEnabled());
  EXPECT_EQ(window->Camera().State().live.frameTimeout, 0u);
}

TEST_F(MainWindowTest, HandshakeAppliesCameraStatusToControls) {
  options.compression = 3;
  options.monochrome = true;
  options.frameRateIndex = 5;
  options.motionDetector = true;
  Start();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(S(IDC_COMPRESSION)->value(), 3);
  EXPECT_EQ(L(IDC_COLOUR)->currentText(), QString::fromUtf8("Черно-белый"));
  EXPECT_EQ(L(IDC_FRAME_RATE)->currentText(), QString::fromUtf8("3 кадра в сек."));
  EXPECT_TRUE(B(IDC_DETECTOR_ON)->isChecked());
  EXPECT_FALSE(B(IDC_DETECTOR_OFF)->isChecked());
  EXPECT_EQ(S(IDC_SENSITIVITY)->value(), 0);
  EXPECT_EQ(window->Camera().State().live.frameTimeout, kFrameTimeoutUnlimited);
  for (int id : kCameraIds) EXPECT_TRUE(W(id)->isEnabled()) << id;
  // The handshake's closing commands reached the camera.
  EXPECT_TRUE(camera->Model().LedsOn());
  EXPECT_FALSE(camera->Model().ExternalRecording());
  EXPECT_FALSE(camera->Model().Autonomous());
  EXPECT_EQ(camera->Model().Sensitivity(), 5);
  EXPECT_FALSE(B(IDC_LEDS_OFF)->isChecked());
}

TEST_F(MainWindowTest, FailureInTheHandshakesClosingCommandsKeepsCameraControlsOff) {
  options.motionDetector = true;
  Start();
  // The handshake ends with four writes: sensitivity 5, LEDs on, external recording off,
  // autonomous off.
  const uint64_t calls = camera->CallCount();
  for (uint64_t fromEnd = 0; fromEnd < 4; ++fromEnd) {
    SCOPED_TRACE(fromEnd);
    window.reset();
    prompts.shown.clear();
    options.failCall = static_cast<uint32_t>(calls - fromEnd);
    Start();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text,
              std::string("Ошибка инициализации камеры.\n") + StatusText(ftstatus::kIoError));
    for (int id : kCameraIds) EXPECT_FALSE(W(id)->isEnabled()) << id;
    EXPECT_TRUE(W(IDC_OPEN)->isEnabled());
  }
}

TEST_F(MainWindowTest, HandshakeWithDetectorOffSelectsColourAndLocksSensitivity) {
  options.monochrome = false;
  options.motionDetector = false;
  Start();
  EXPECT_EQ(L(IDC_COLOUR)->currentText(), QString::fromUtf8("Цветной"));
  EXPECT_TRUE(B(IDC_DETECTOR_OFF)->isChecked());
  EXPECT_FALSE(B(IDC_DETECTOR_ON)->isChecked());
  EXPECT_FALSE(W(IDC_SENSITIVITY)->isEnabled());
  EXPECT_EQ(window->Camera().State().live.frameTimeout, kFrameTimeoutDetectorOff);
  EXPECT_TRUE(W(IDC_START_STOP)->isEnabled());
  EXPECT_TRUE(B(IDC_ROTATE_0)->isChecked());
  EXPECT_EQ(window->PlayerWindow().OffsetY(), 20);
}

TEST_F(MainWindowTest, FirstRunWithEmptyStoreUsesDefaults) {
  Start();
  EXPECT_EQ(RateText(), "10");
  EXPECT_TRUE(B(IDC_LIKE_ORIGINAL)->isChecked());
  EXPECT_FALSE(B(IDC_OTHER_RATE)->isChecked());
  EXPECT_FALSE(W(IDC_RATE_SPIN)->isEnabled());
  // Nothing is written by merely starting.
  EXPECT_FALSE(settings.Has(settings::kSection, settings::kPlayerFps));
  EXPECT_FALSE(settings.Has(settings::kSection, settings::kLikeOriginal));
}

TEST_F(MainWindowTest, StoredOtherRateIsToldToThePlayerButSpinStaysOffWithoutRecording) {
  settings.WriteInt(settings::kSection, settings::kLikeOriginal, 0);
  settings.WriteInt(settings::kSection, settings::kPlayerFps, 7);
  Start();
  EXPECT_TRUE(B(IDC_OTHER_RATE)->isChecked());
  EXPECT_FALSE(B(IDC_LIKE_ORIGINAL)->isChecked());
  EXPECT_EQ(RateText(), "7");
  EXPECT_FALSE(window->RecordingPlayer().LikeOriginal());
  EXPECT_EQ(window->RecordingPlayer().GroupSize(), 7u);
  EXPECT_FALSE(W(IDC_RATE_SPIN)->isEnabled());
}

TEST_F(MainWindowTest, StoredLikeOriginalTellsThePlayerNothing) {
  settings.WriteInt(settings::kSection, settings::kLikeOriginal, 1);
  settings.WriteInt(settings::kSection, settings::kPlayerFps, 7);
  Start();
  EXPECT_TRUE(B(IDC_LIKE_ORIGINAL)->isChecked());
  EXPECT_TRUE(window->RecordingPlayer().LikeOriginal());
  EXPECT_EQ(window->RecordingPlayer().GroupSize(), 0u);
}

TEST_F(MainWindowTest, CommandLineRecordingOpensAndEnablesPlayerGroup) {
  const std::string path = WriteRecording(5);
  Start(path);
  EXPECT_EQ(window->RecordingPlayer().Count(), 5u);
  EXPECT_TRUE(W(IDC_PLAY)->isEnabled());
  EXPECT_TRUE(W(IDC_EXPORT)->isEnabled());
  EXPECT_EQ(S(IDC_POSITION)->maximum(), 4);
  EXPECT_EQ(S(IDC_POSITION)->value(), 0);
  EXPECT_EQ(S(IDC_POSITION)->pageStep(), 0);
  EXPECT_FALSE(W(IDC_RATE_SPIN)->isEnabled());  // like original is selected
}

TEST_F(MainWindowTest, CommandLineNamingNoRecordingSaysFileIsEmpty) {
  const std::filesystem::path path = TempDir() / "garbage.bfk";
  std::ofstream(path) << "not a recording at all, just text";
  Start(path.string());
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown.back().text, "Файл пустой");
  EXPECT_EQ(prompts.shown.back().icon, MessageIcon::None);
  EXPECT_FALSE(W(IDC_PLAY)->isEnabled());
}

TEST_F(MainWindowTest, RecordingThatCannotBeOpenedIsNamedInTheErrorBox) {
  const std::string missing = (TempDir() / "gone.bfk").string();
  Start(missing);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].text, missing + " was not found.");
  EXPECT_EQ(prompts.shown[0].caption, "Error");
  EXPECT_EQ(prompts.shown[1].text, "Файл пустой");

  prompts.shown.clear();
  const std::filesystem::path empty = TempDir() / "empty.bfk";
  std::ofstream{empty};
  window->Panel().LoadRecording(empty.string());
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_NE(prompts.shown[0].text.find(empty.string()), std::string::npos) << prompts.shown[0].text;
}

// The header table the window starts with, from the folder "InstallPath" names.
class StartupTableTest : public MainWindowTest {
 protected:
  std::string TablePath() { return (TempDir() / "headers.dat").string(); }
  bool LoadStartupTable() {
    settings.WriteString("", settings::kInstallPath, TempDir().string());
    headers = JpegHeaderTable{};
    return ui::LoadStartupHeaderTable(
        settings, prompts, "", [](const std::string& p) { return std::filesystem::exists(p); },
        headers);
  }
};

TEST_F(StartupTableTest, AFileThatIsNoTableIsReportedAndTheWindowRunsWithoutOne) {
  std::ofstream(TablePath(), std::ios::binary) << std::string(JpegHeaderTable::kFileSize, '\0');
  ASSERT_TRUE(LoadStartupTable()) << "the window still comes up";
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            TablePath() +
                " is not a JPEG header table: the black-and-white part for compression 0: it "
                "does not begin with a JPEG start marker (FF D8).");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_TRUE(headers.SelectHeaderEntry(0, 0)[0] == 0) << "nothing of the file is used";

  // Recordings still open and play; their pictures just cannot be shown.
  prompts.shown.clear();
  Start(WriteRecording(3));
  EXPECT_TRUE(prompts.shown.empty()) << prompts.shown[0].text;
  EXPECT_EQ(window->RecordingPlayer().Count(), 3u);
  EXPECT_TRUE(W(IDC_PLAY)->isEnabled());
}

TEST_F(StartupTableTest, AGoodTableIsTakenWithoutAWord) {
  std::filesystem::copy_file(BF_HEADERS_DAT, TablePath());
  ASSERT_TRUE(LoadStartupTable());
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(headers.SelectHeaderEntry(0, 0)[0], 0xFF);
}

TEST_F(StartupTableTest, AFileThatCannotBeReadEndsTheProgram) {
  EXPECT_FALSE(LoadStartupTable());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, TablePath() + " was not found.");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
}

#ifndef _WIN32
TEST_F(StartupTableTest, AFifoIsRefusedInsteadOfWaitedFor) {
  ASSERT_EQ(::mkfifo(TablePath().c_str(), 0600), 0);
  // Held open with a whole table waiting in it, so that a start-up that reads FIFOs takes it
  // rather than blocking the test.
  const int fifo = ::open(TablePath().c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  std::ifstream good(BF_HEADERS_DAT, std::ios::binary);
  const std::string table{std::istreambuf_iterator<char>(good), {}};
  ASSERT_EQ(::write(fifo, table.data(), table.size()), static_cast<ssize_t>(table.size()));
  const bool goesOn = LoadStartupTable();
  ::close(fifo);
  EXPECT_FALSE(goesOn);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, TablePath() + " is not a regular file.");
}
#endif

}  // namespace
}  // namespace bf::test
