// The window's exports on their worker thread: dialogs, progress, cancel and the final message.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "RecordingFixture.h"
#include "frames/HeaderGenerator.h"
#include "host/PostedCalls.h"
#include "recordings/RecordingExport.h"
#include "support/ScriptedPrompts.h"

namespace bf {
namespace {

struct FakeProgressView : ExportProgressView {
  std::vector<std::string> titles;
  std::vector<uint32_t> done;
  int closed = 0;
  void ShowProgress(const std::string& title, uint32_t d, uint32_t) override {
    titles.push_back(title);
    done.push_back(d);
  }
  void CloseProgress() override { ++closed; }
};

class RecordingExportTest : public ::testing::Test {
 protected:
  RecordingExportTest() : table(GenerateHeaderTable({320, 240})) {
    path = dir.Write("r.bfk", test::PictureRecordingWithTimestamps({1, 2, 3, 4}));
  }
  // Waits for the worker and runs what it posted, as the window's event loop would.
  void Finish() {
    presenter->Wait();
    posted.RunAll();
  }

  test::TempDir dir;
  JpegHeaderTable table;
  std::string path;
  test::ScriptedPrompts prompts;
  FakeProgressView view;
  std::atomic<uint32_t> videoRate{99};
  PostedCalls posted;
  std::unique_ptr<RecordingExport> presenter = std::make_unique<RecordingExport>(
      prompts, view, table,
      [this](const Recording& recording, const JpegHeaderTable&, const std::string& output,
             uint32_t rate, ExportProgress& progress) {
        // Stands in for the video export: runs until cancelled, on the worker thread.
        videoRate = rate;
        progress.total = static_cast<uint32_t>(recording.Count());
        while (!progress.Cancelled()) progress.cancel.wait(false);
        ExportOutcome outcome;
        outcome.status = ExportOutcome::Status::Cancelled;
        (void)output;
        return outcome;
      },
      [this](std::function<void()> call) { posted.Post(std::move(call)); });
};

TEST_F(RecordingExportTest, FramesGoToTheChosenFolderAndTheEndIsReported) {
  const std::string folder = dir.File("stills");
  prompts.folders.push_back(folder);
  ASSERT_TRUE(presenter->StartFrames(path));
  EXPECT_TRUE(presenter->Busy());
  presenter->Wait();
  // The worker is done, but its end reaches the operator only through the queue.
  EXPECT_TRUE(presenter->Busy());
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(view.closed, 0);
  posted.RunAll();
  EXPECT_FALSE(presenter->Busy());
  // One progress call was queued while the frames went out (never more than one waits), and
  // it shows where the worker stands when it runs.
  EXPECT_EQ(view.done, (std::vector<uint32_t>{0, 4}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 4);
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"Записано кадров: 4, пропущено: 0"}));
  EXPECT_EQ(prompts.shown.back().icon, MessageIcon::Information);
  EXPECT_EQ(view.titles.front(), kExportFramesTitle);
  EXPECT_EQ(view.closed, 1);
}

TEST_F(RecordingExportTest, NothingHappensWithoutARecordingOrWhenTheDialogIsCancelled) {
  EXPECT_FALSE(presenter->StartFrames(""));
  EXPECT_FALSE(presenter->StartVideo("", 10));
  EXPECT_EQ(prompts.Texts(),
            (std::vector<std::string>{kNoRecordingToExportText, kNoRecordingToExportText}));
  EXPECT_FALSE(presenter->StartFrames(path));     // folder dialog cancelled
  EXPECT_FALSE(presenter->StartVideo(path, 10));  // save dialog cancelled
  EXPECT_FALSE(presenter->Busy());
  EXPECT_TRUE(view.titles.empty());
}

TEST_F(RecordingExportTest, VideoRunsOnTheWorkerUntilCancelledAndOneExportAtATime) {
  prompts.saveFiles.push_back(dir.File("clip"));
  ASSERT_TRUE(presenter->StartVideo(path, 0));
  // The save dialog asked for a video type and the name got ".mkv".
  EXPECT_EQ(prompts.saveRequests.at(0).defaultExtension, "mkv");
  EXPECT_TRUE(prompts.saveRequests.at(0).confirmOverwrite);
  prompts.folders.push_back(dir.File("stills"));
  EXPECT_FALSE(presenter->StartFrames(path));
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{kExportBusyText}));
  EXPECT_EQ(posted.RunAll(), 0u);  // still running: nothing to report
  EXPECT_TRUE(presenter->Busy());
  presenter->Cancel();
  Finish();
  EXPECT_EQ(videoRate.load(), 0u);
  EXPECT_EQ(prompts.Texts().back(), kExportCancelledText);
  EXPECT_EQ(view.closed, 1);
}

TEST_F(RecordingExportTest, TheRecordingAsItsOwnOutputIsRefusedAndAFailureIsShown) {
  prompts.saveFiles.push_back(path);
  EXPECT_FALSE(presenter->StartVideo(path, 10));
  EXPECT_EQ(prompts.shown.back().icon, MessageIcon::Error);
  // A recording that went away before the worker opened it.
  prompts.folders.push_back(dir.File("stills"));
  ASSERT_TRUE(presenter->StartFrames(dir.File("gone.bfk")));
  Finish();
  EXPECT_EQ(prompts.shown.back().icon, MessageIcon::Error);
  EXPECT_EQ(prompts.shown.back().text, dir.File("gone.bfk") + " was not found.");
}

TEST_F(RecordingExportTest, CallsPostedForAPresenterThatIsGoneDoNothing) {
  prompts.folders.push_back(dir.File("stills"));
  ASSERT_TRUE(presenter->StartFrames(path));
  presenter->Wait();
  presenter.reset();
  EXPECT_EQ(posted.RunAll(), 2u);  // one progress, the end
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_EQ(view.closed, 0);
}

TEST_F(RecordingExportTest, DestroyingThePresenterCancelsAndWaits) {
  prompts.saveFiles.push_back(dir.File("clip.mkv"));
  ASSERT_TRUE(presenter->StartVideo(path, 10));
  presenter.reset();  // returns only once the worker saw the cancel
  EXPECT_EQ(videoRate.load(), 10u);
}

}  // namespace
}  // namespace bf
