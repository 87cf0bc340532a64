// The review presenter over real recording files: navigation in camera time, marks, going to a
// time, and the export of the marked stretch, checked against bfk cut.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "recordings/RecordingFixture.h"
#include "review/ReviewPresenter.h"
#include "support/MemorySettingsStore.h"
#include "support/RunProgram.h"
#include "support/ScriptedPrompts.h"
#include "support/TimeZoneGuard.h"

namespace bf {
namespace {

using test::RecordingWithTimestamps;
using test::TempDir;

struct RecordedView : ReviewView {
  std::vector<uint32_t> shownTimes;
  std::vector<std::size_t> payloadSizes;
  int timelineChanges = 0;
  void ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    shownTimes.push_back(header.Timestamp());
    payloadSizes.push_back(payload.size());
  }
  void TimelineChanged() override { ++timelineChanges; }
};

class ReviewPresenterTest : public ::testing::Test {
 protected:
  // Frames by camera time, in file order. Two recordings (a gap of 1000 s), the second with
  // its clock set back before it ends: 2000, 2001, 2001, 2003 then 1990.
  const std::vector<uint32_t> times_{1000, 1000, 1001, 1002, 1005, 2000, 2001, 2001, 2003, 1990};

  bool Open(const std::vector<uint32_t>& times) {
    path_ = dir_.Write("r.bfk", RecordingWithTimestamps(times));
    return presenter_.Open(path_);
  }
  uint32_t Time() const { return presenter_.CurrentTime(); }

  TempDir dir_;
  std::string path_;
  ScriptedPrompts prompts_;
  RecordedView view_;
  ReviewPresenter presenter_{prompts_, view_};
};

TEST_F(ReviewPresenterTest, OpensOnTheEarliestFrameAndShowsItsPayload) {
  ASSERT_TRUE(Open({50, 10, 30}));
  EXPECT_EQ(presenter_.Current(), 1u);
  ASSERT_EQ(view_.shownTimes, std::vector<uint32_t>{10});
  EXPECT_EQ(view_.payloadSizes[0], 1000u);
  EXPECT_EQ(presenter_.Window(), (TimeWindow{10, 51}));
}

TEST_F(ReviewPresenterTest, AFileThatIsNoRecordingSaysSoAndLeavesNothingOpen) {
  const std::vector<uint8_t> zeros(64, 0);
  EXPECT_FALSE(presenter_.Open(dir_.Write("z.bfk", zeros)));
  EXPECT_FALSE(presenter_.IsOpen());
  EXPECT_EQ(prompts_.Texts(), std::vector<std::string>{"Файл пустой"});
  EXPECT_FALSE(presenter_.Open(dir_.File("missing.bfk")));
  ASSERT_EQ(prompts_.shown.size(), 2u);
  EXPECT_EQ(prompts_.shown[1].icon, MessageIcon::Error);
  presenter_.Step(1);  // nothing open: nothing happens
  presenter_.End();
  EXPECT_TRUE(view_.shownTimes.empty());
}

TEST_F(ReviewPresenterTest, TheTwoFilesOfACopyPastTheEndOfTheFlashReviewAsOne) {
  // Split 200 bytes into the third record's payload; the second file alone is no recording.
  const std::vector<uint8_t> bytes = RecordingWithTimestamps({100, 101, 102, 103});
  const std::size_t seam = 2 * 1016 + 16 + 200;
  const std::string first = dir_.Write("c.bfk", std::span(bytes).first(seam));
  const std::string second = dir_.Write("c.bfk`.bfk", std::span(bytes).subspan(seam));
  ASSERT_TRUE(presenter_.Open(second));
  EXPECT_EQ(presenter_.JoinedWith(), first);
  EXPECT_EQ(presenter_.GetTimeline().Count(), 4u);
  presenter_.Step(2);
  ASSERT_EQ(view_.shownTimes.back(), 102u);
  EXPECT_EQ(view_.payloadSizes.back(), 1000u);
  ASSERT_TRUE(presenter_.Open(first));
  EXPECT_EQ(presenter_.JoinedWith(), second);
  EXPECT_EQ(presenter_.GetTimeline().Count(), 4u);
#ifndef _WIN32  // Windows removes no file the presenter still holds open
  std::filesystem::remove(first);
  EXPECT_FALSE(presenter_.Open(second));
  EXPECT_EQ(prompts_.Texts(), std::vector<std::string>{"Файл пустой"});
#endif
}

TEST_F(ReviewPresenterTest, FrameStepsFollowCameraTimeNotFileOrder) {
  ASSERT_TRUE(Open(times_));
  std::vector<uint32_t> seen{Time()};
  for (int i = 0; i < 12; ++i) {
    presenter_.Step(1);
    seen.push_back(Time());
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{1000, 1000, 1001, 1002, 1005, 1990, 2000, 2001, 2001, 2003,
                                         2003, 2003, 2003}));
  presenter_.Step(-3);
  EXPECT_EQ(Time(), 2000u);
  presenter_.Step(-100);
  EXPECT_EQ(presenter_.Position(), 0u);
  EXPECT_EQ(presenter_.Current(), 0u);
}

TEST_F(ReviewPresenterTest, SecondStepsLandOnTheFirstFrameOfTheNextSecondWithFrames) {
  ASSERT_TRUE(Open(times_));
  presenter_.StepSecond(1);
  EXPECT_EQ(Time(), 1001u);
  presenter_.StepSecond(1);
  presenter_.StepSecond(1);
  EXPECT_EQ(Time(), 1005u);
  presenter_.StepSecond(1);  // across the gap
  EXPECT_EQ(Time(), 1990u);
  presenter_.StepSecond(1);
  presenter_.StepSecond(1);
  EXPECT_EQ(Time(), 2001u);
  EXPECT_EQ(presenter_.Current(), 6u);  // the first of the two frames of 2001 in the file
  presenter_.Step(1);
  presenter_.StepSecond(-1);  // from the second frame of 2001 back to 2000
  EXPECT_EQ(Time(), 2000u);
  presenter_.StepSecond(-1);
  EXPECT_EQ(Time(), 1990u);
  presenter_.Home();
  presenter_.Step(1);  // the second frame of 1000
  presenter_.StepSecond(-1);
  EXPECT_EQ(presenter_.Position(), 0u);
  presenter_.End();
  presenter_.StepSecond(1);
  EXPECT_EQ(Time(), 2003u);
}

TEST_F(ReviewPresenterTest, PageKeysStopAtRecordingStartsAndGapEnds) {
  ASSERT_TRUE(Open(times_));
  presenter_.Step(2);
  presenter_.NextStop();
  EXPECT_EQ(Time(), 1990u);  // the end of the gap after 1005, where the second recording starts
  presenter_.NextStop();
  EXPECT_EQ(Time(), 2003u);  // no stop further on: the last frame
  presenter_.Step(-1);
  presenter_.PreviousStop();
  EXPECT_EQ(Time(), 1990u);
  presenter_.Step(1);
  presenter_.PreviousStop();  // from inside the second recording back to its start
  EXPECT_EQ(Time(), 1990u);
  presenter_.PreviousStop();
  EXPECT_EQ(presenter_.Position(), 0u);
  presenter_.PreviousStop();
  EXPECT_EQ(presenter_.Position(), 0u);
}

TEST_F(ReviewPresenterTest, GoingToATimeTakesTheNearestFrame) {
  test::TimeZoneGuard zone("UTC0");
  ASSERT_TRUE(Open({86400 * 365 + 10, 86400 * 365 + 20, 86400 * 365 + 100}));
  // 1971-01-01 00:00:16 is nearer to :20 than to :10.
  EXPECT_TRUE(presenter_.GoToLocalTime({1971, 1, 1}, 0, 0, 16));
  EXPECT_EQ(presenter_.Current(), 1u);
  EXPECT_TRUE(presenter_.GoToLocalTime({1972, 1, 1}, 0, 0, 0));
  EXPECT_EQ(presenter_.Current(), 2u);
  EXPECT_TRUE(presenter_.GoToLocalTime({1960, 1, 1}, 0, 0, 0) == false);
  EXPECT_EQ(presenter_.Current(), 2u);
  presenter_.GoToTime(0);
  EXPECT_EQ(presenter_.Current(), 0u);
  EXPECT_EQ(presenter_.CurrentLocalText(), "1971-01-01 00:00:10");
  EXPECT_TRUE(presenter_.GoToLocalText(" 1971-01-01 00:01:30 "));
  EXPECT_EQ(presenter_.Current(), 2u);
  for (const char* bad :
       {"", "1971-01-01", "1971-13-01 00:00:00", "1971-01-01 24:00:00", "1971-01-01 00:00:00 x"}) {
    EXPECT_FALSE(presenter_.GoToLocalText(bad)) << bad;
  }
  EXPECT_EQ(presenter_.Current(), 2u);
}

TEST(ChooseReviewRecordingTest, StartsInThePathFolderAndRemembersTheChosenOne) {
  ScriptedPrompts prompts;
  MemorySettingsStore settings;
  settings.WriteString("Settings", "Path", "/rec/old/");
  prompts.openFiles.push_back("/rec/new/day1.bfk");
  EXPECT_EQ(ChooseReviewRecording(prompts, settings), "/rec/new/day1.bfk");
  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].initialDirectory, "/rec/old/");
  EXPECT_EQ(prompts.openRequests[0].filter, "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||");
  EXPECT_EQ(settings.ReadString("Settings", "Path", ""), "/rec/new/");
  EXPECT_EQ(ChooseReviewRecording(prompts, settings), std::nullopt);  // cancelled
  EXPECT_EQ(settings.ReadString("Settings", "Path", ""), "/rec/new/");
}

TEST_F(ReviewPresenterTest, TheCursorBringsTheZoomedWindowAlong) {
  ASSERT_TRUE(Open(times_));
  presenter_.ZoomAround(1000, 100);
  const TimeWindow zoomed = presenter_.Window();
  EXPECT_LT(zoomed.Length(), 20);
  presenter_.End();
  EXPECT_GE(2003.0, presenter_.Window().start);
  EXPECT_LE(2004.0, presenter_.Window().end);
  EXPECT_DOUBLE_EQ(presenter_.Window().Length(), zoomed.Length());
  presenter_.ShowWhole();
  EXPECT_EQ(presenter_.Window(), (TimeWindow{1000, 2004}));
}

TEST_F(ReviewPresenterTest, MarksTakeEveryFrameOfTheirSecondsInFileOrder) {
  ASSERT_TRUE(Open(times_));
  EXPECT_FALSE(presenter_.MarkedStretch());
  EXPECT_FALSE(presenter_.SaveStretch());
  EXPECT_EQ(prompts_.shown.size(), 1u);  // told to mark first
  presenter_.GoToTime(2001);
  presenter_.MarkOut();  // out before in: the stretch is still the earlier to the later
  presenter_.GoToTime(1002);
  presenter_.MarkIn();
  EXPECT_EQ(presenter_.MarkedStretch(), (TimeWindow{1002, 2002}));
  EXPECT_EQ(presenter_.MarkedFrames(), (std::vector<std::size_t>{3, 4, 5, 6, 7, 9}));
}

TEST_F(ReviewPresenterTest, TheSavedStretchIsByteForByteWhatBfkCutWrites) {
  test::TimeZoneGuard zone("UTC0");
  ASSERT_TRUE(Open(times_));
  presenter_.GoToTime(1001);
  presenter_.MarkIn();
  presenter_.GoToTime(2001);
  presenter_.MarkOut();
  prompts_.saveFiles.push_back(dir_.File("mine.bfk"));
  ASSERT_TRUE(presenter_.SaveStretch());
  ASSERT_EQ(prompts_.saveRequests.size(), 1u);
  EXPECT_EQ(prompts_.saveRequests[0].defaultExtension, "bfk");
  EXPECT_TRUE(prompts_.saveRequests[0].confirmOverwrite);
  // The folder of the recording, with its trailing separator.
  EXPECT_EQ(std::filesystem::path(prompts_.saveRequests[0].initialDirectory).parent_path(),
            dir_.Path());
  const test::ProgramRun cut =
      test::RunBfk("cut -o " + dir_.File("cut.bfk") +
                   " --from 1970-01-01T00:16:41Z --to 1970-01-01T00:33:21Z " + path_);
  ASSERT_EQ(cut.exitCode, 0) << cut.output;
  const std::vector<uint8_t> mine = test::ReadAll(dir_.File("mine.bfk"));
  EXPECT_EQ(mine, test::ReadAll(dir_.File("cut.bfk")));
  // And it is a recording of the marked frames.
  Recording saved;
  ASSERT_EQ(saved.Open(dir_.File("mine.bfk")), Recording::OpenStatus::Opened);
  EXPECT_EQ(saved.Count(), 7u);  // 1990 lies in the stretch too
  EXPECT_TRUE(prompts_.shown.empty());
}

TEST_F(ReviewPresenterTest, SavingRefusesTheOpenRecordingAndReportsFileErrors) {
  ASSERT_TRUE(Open(times_));
  const std::vector<uint8_t> before = test::ReadAll(path_);
  presenter_.MarkIn();
  presenter_.End();
  presenter_.MarkOut();
  EXPECT_FALSE(presenter_.SaveStretchTo(path_));
  EXPECT_EQ(test::ReadAll(path_), before);
  EXPECT_FALSE(presenter_.SaveStretchTo(dir_.File("no/such/folder/x.bfk")));
  ASSERT_EQ(prompts_.shown.size(), 2u);
  EXPECT_EQ(prompts_.shown[1].icon, MessageIcon::Error);
}

TEST_F(ReviewPresenterTest, DamagedStretchesAreMarkedBetweenTheFramesAroundThem) {
  std::vector<uint8_t> bytes = RecordingWithTimestamps({100, 101});
  bytes.insert(bytes.end(), 40, 0);  // damage after the record of 101, which is dropped
  bytes.resize(2 * 1016 + 512, 0);
  const std::vector<uint8_t> rest = RecordingWithTimestamps({110, 111});
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  ASSERT_TRUE(presenter_.Open(dir_.Write("d.bfk", bytes)));
  ASSERT_EQ(presenter_.Damaged().size(), 1u);
  EXPECT_EQ(presenter_.Damaged()[0].start, 100u);
  EXPECT_EQ(presenter_.Damaged()[0].end, 110u);
}

TEST_F(ReviewPresenterTest, DamageBetweenRecordingsIsMarkedWhereTheEarlierOneEnds) {
  std::vector<uint8_t> bytes = RecordingWithTimestamps({100, 101});
  bytes.resize(2 * 1016 + 512, 0);
  const std::vector<uint8_t> rest = RecordingWithTimestamps({5000});
  bytes.insert(bytes.end(), rest.begin(), rest.end());
  ASSERT_TRUE(presenter_.Open(dir_.Write("d.bfk", bytes)));
  ASSERT_EQ(presenter_.Damaged().size(), 1u);
  EXPECT_EQ(presenter_.Damaged()[0].start, 100u);
  EXPECT_EQ(presenter_.Damaged()[0].end, 100u);
}

}  // namespace
}  // namespace bf
