// The context menu's exports on the open recording: a real video and a still folder written on
// the worker thread, with the progress dialog, the player usable meanwhile, and the message.
#include <QAction>
#include <QProgressDialog>
#include <cstdio>

#include "MainWindowFixture.h"
#include "mainwindow/RecordingExportView.h"
#include "recordings/Player.h"

namespace bf::test {
namespace {

using namespace bf::ui;

QAction* Action(QWidget* window, const char* name) {
  for (QAction* a : window->actions()) {
    if (a->objectName() == QLatin1String(name)) return a;
  }
  return nullptr;
}

// Waits for the worker, then lets the event loop run what it queued: its progress and its end.
void FinishExport(RecordingExportView& view) {
  view.Presenter().Wait();
  QCoreApplication::processEvents();
}

std::string ProbeFrames(const std::string& path) {
  const std::string command =
      "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames "
      "-of csv=p=0 '" +
      path + "'";
  std::string out;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
    ::pclose(p);
  }
  return out;
}

TEST_F(MainWindowTest, ContextMenuExportsTheOpenRecordingAsVideo) {
  Start(WriteRecording(6));
  QAction* video = Action(window.get(), "exportVideoAction");
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->text(), QString::fromUtf8("Экспорт видео..."));
  // Next to About in the window's context menu.
  EXPECT_NE(Action(window.get(), "aboutAction"), nullptr);

  const std::string out = (TempDir() / "clip.mp4").string();
  prompts.saveFiles.push_back(out);
  video->trigger();
  ASSERT_NE(window->ExportView().ProgressDialog(), nullptr);
  EXPECT_TRUE(window->ExportView().ProgressDialog()->isVisible());
  EXPECT_FALSE(window->ExportView().ProgressDialog()->isModal());
  // The player works on while the export runs.
  Click(IDC_END);
  EXPECT_EQ(window->RecordingPlayer().Position(), 5u);

  FinishExport(window->ExportView());
  EXPECT_EQ(window->ExportView().ProgressDialog(), nullptr);
  EXPECT_EQ(prompts.Texts().back(), "Записано кадров: 6, пропущено: 0");
  EXPECT_EQ(ProbeFrames(out), "h264,6\n");
}

TEST_F(MainWindowTest, ContextMenuExportsStillsAndCancelLeavesNone) {
  Start(WriteRecording(4));
  QAction* frames = Action(window.get(), "exportFramesAction");
  ASSERT_NE(frames, nullptr);
  EXPECT_EQ(frames->text(), QString::fromUtf8("Экспорт кадров..."));
  const std::filesystem::path folder = TempDir() / "stills";
  prompts.folders.push_back(folder.string());
  frames->trigger();
  FinishExport(window->ExportView());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 4);
  EXPECT_EQ(prompts.Texts().back(), "Записано кадров: 4, пропущено: 0");

  // Cancel pressed before the worker got going: nothing is left in the new folder.
  const std::filesystem::path other = TempDir() / "cancelled";
  prompts.folders.push_back(other.string());
  frames->trigger();
  ASSERT_NE(window->ExportView().ProgressDialog(), nullptr);
  window->ExportView().ProgressDialog()->cancel();
  FinishExport(window->ExportView());
  const std::string last = prompts.Texts().back();
  if (last == "Экспорт отменён") {
    EXPECT_TRUE(!std::filesystem::exists(other) || std::filesystem::is_empty(other));
  } else {
    // The worker was faster than the click; then every still is there.
    EXPECT_EQ(last, "Записано кадров: 4, пропущено: 0");
  }
}

TEST_F(MainWindowTest, ExportWithoutARecordingSaysSo) {
  Start();
  Action(window.get(), "exportFramesAction")->trigger();
  EXPECT_EQ(prompts.Texts().back(), "Нет открытой записи");
}

}  // namespace
}  // namespace bf::test
