// The review window offscreen: opened from the main window's context menu, moved by keys, its
// timeline drawn from the frame index alone.
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <fstream>

#include "../video/VideoFixture.h"
#include "MainWindowFixture.h"
#include "review/HoverThumbnail.h"
#include "review/ReviewPicture.h"
#include "review/ReviewWindow.h"
#include "review/StretchExportView.h"
#include "review/TimelineStrip.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

using namespace bf::ui;

QAction* Action(QWidget* window, const char* name) {
  for (QAction* a : window->actions()) {
    if (a->objectName() == QLatin1String(name)) return a;
  }
  return nullptr;
}

std::vector<ReviewWindow*> ReviewWindows() {
  std::vector<ReviewWindow*> found;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* r = qobject_cast<ReviewWindow*>(w); r != nullptr && r->isVisible()) {
      found.push_back(r);
    }
  }
  return found;
}

// Frames of 320x240 pictures at the given camera times, in file order.
std::string WriteTimes(const std::filesystem::path& path, const std::vector<uint32_t>& times) {
  sim::FrameMaker maker(PictureSize{320, 240});
  std::ofstream out(path, std::ios::binary);
  for (std::size_t i = 0; i < times.size(); ++i) {
    const std::vector<uint8_t> record =
        maker.MakeRecord(static_cast<uint32_t>(i), 0, times[i], sim::FrameSettings{});
    out.write(reinterpret_cast<const char*>(record.data()),
              static_cast<std::streamsize>(record.size()));
  }
  EXPECT_TRUE(out.good());
  return path.string();
}

class ReviewWindowTest : public MainWindowTest {
 protected:
  void TearDown() override {
    for (ReviewWindow* r : ReviewWindows()) delete r;
    MainWindowTest::TearDown();
  }
};

TEST_F(ReviewWindowTest, TheContextMenuEntryOpensTheRecordingTurnedAsTheMainWindowTurns) {
  Start(WriteRecording(6));
  QAction* review = Action(window.get(), "reviewAction");
  ASSERT_NE(review, nullptr);
  EXPECT_EQ(review->text(), QString::fromUtf8("Обзор записи..."));
  EXPECT_EQ(review->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
  Click(IDC_ROTATE_90);
  review->trigger();
  review->trigger();  // a second, independent window
  const std::vector<ReviewWindow*> windows = ReviewWindows();
  ASSERT_EQ(windows.size(), 2u);
  ReviewWindow& r = *windows[0];
  EXPECT_TRUE(r.isWindow());
  EXPECT_EQ(r.Presenter().GetTimeline().Count(), 6u);
  ASSERT_TRUE(r.Picture().HasPicture());
  EXPECT_EQ(r.Picture().PictureSize(), QSize(240, 320));
  EXPECT_TRUE(r.Picture().OverlayLine().startsWith(QStringLiteral("15.06.09, 12:00:00 / ")))
      << r.Picture().OverlayLine().toStdString();
  // The main window's player is not touched.
  EXPECT_EQ(window->RecordingPlayer().Position(), 0u);
  EXPECT_TRUE(prompts.openRequests.empty());
}

TEST_F(ReviewWindowTest, WithNoRecordingOpenTheEntryAsksForOne) {
  Start();
  const std::string path = WriteRecording(3, "other.bfk");
  prompts.openFiles.push_back(path);
  Action(window.get(), "reviewAction")->trigger();
  ASSERT_EQ(prompts.openRequests.size(), 1u);
  EXPECT_EQ(prompts.openRequests[0].filter, "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||");
  ASSERT_EQ(ReviewWindows().size(), 1u);
  EXPECT_EQ(ReviewWindows()[0]->Presenter().GetTimeline().Count(), 3u);
  EXPECT_EQ(std::filesystem::path(settings.ReadString("Settings", "Path", "")).parent_path(),
            TempDir());
  Action(window.get(), "reviewAction")->trigger();  // cancelled: no window
  EXPECT_EQ(ReviewWindows().size(), 1u);
}

TEST_F(ReviewWindowTest, KeysMoveTheCurrentFrameAndSetTheMarks) {
  const std::string path = WriteTimes(TempDir() / "k.bfk", {100, 101, 101, 102, 5000, 5001});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.show();
  QTest::keyClick(&r, Qt::Key_Right);
  EXPECT_EQ(r.Presenter().Current(), 1u);
  QTest::keyClick(&r, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(r.Presenter().Current(), 3u);
  QTest::keyClick(&r, Qt::Key_PageDown);
  EXPECT_EQ(r.Presenter().Current(), 4u);
  QTest::keyClick(&r, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(r.Presenter().Current(), 3u);
  QTest::keyClick(&r, Qt::Key_I);
  QTest::keyClick(&r, Qt::Key_End);
  EXPECT_EQ(r.Presenter().Current(), 5u);
  QTest::keyClick(&r, Qt::Key_O);
  EXPECT_EQ(r.Presenter().MarkedFrames(), (std::vector<std::size_t>{3, 4, 5}));
  EXPECT_TRUE(r.StatusText().contains(QString::fromUtf8("отмечено кадров: 3")))
      << r.StatusText().toStdString();
  QTest::keyClick(&r, Qt::Key_Home);
  EXPECT_EQ(r.Presenter().Current(), 0u);
  QTest::keyClick(&r, Qt::Key_PageUp);
  EXPECT_EQ(r.Presenter().Current(), 0u);
  ASSERT_NE(r.GoToTimeAction(), nullptr);
  EXPECT_EQ(r.GoToTimeAction()->text(), QString::fromUtf8("Перейти к времени..."));
  EXPECT_EQ(r.SaveStretchAction()->text(), QString::fromUtf8("Сохранить отрезок..."));
}

TEST_F(ReviewWindowTest, ACopySplitByTheEndOfTheFlashReviewsAsOneAndSaysSo) {
  const std::string whole = WriteTimes(TempDir() / "w.bfk", {100, 101, 102, 103});
  std::ifstream in(whole, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  const std::string first = (TempDir() / "split.bfk").string();
  const std::string second = first + "`.bfk";
  // Halfway through the file: inside the third picture of four equal records.
  const std::size_t seam = bytes.size() / 2 + 100;
  std::ofstream(first, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(seam));
  std::ofstream(second, std::ios::binary)
      .write(bytes.data() + seam, static_cast<std::streamsize>(bytes.size() - seam));
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(second));
  EXPECT_EQ(r.Presenter().GetTimeline().Count(), 4u);
  QTest::keyClick(&r, Qt::Key_Right);
  QTest::keyClick(&r, Qt::Key_Right);
  EXPECT_EQ(r.Presenter().Current(), 2u);
  EXPECT_TRUE(r.Picture().HasPicture());
  EXPECT_TRUE(r.StatusText().contains(
      QString::fromUtf8("вместе с split.bfk (копия прошла через конец флеш-памяти)")))
      << r.StatusText().toStdString();
}

TEST_F(ReviewWindowTest, TheTimelinePaintsFromTheIndexWithoutReadingTheFile) {
  const std::filesystem::path file = TempDir() / "t.bfk";
  const std::string path = WriteTimes(file, {1000, 1001, 1002, 1003, 1999});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.resize(800, 600);
  r.show();
  const QImage before = r.Timeline().grab().toImage();
  // The file's bytes are gone; the picture can no longer be read, the timeline is unchanged.
  const auto size = std::filesystem::file_size(file);
  {
    std::fstream zero(file, std::ios::in | std::ios::out | std::ios::binary);
    const std::vector<char> zeros(size, 0);
    zero.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
    ASSERT_TRUE(zero.good());
  }
  QTest::keyClick(&r, Qt::Key_Right);
  EXPECT_EQ(r.Presenter().Current(), 1u);
  EXPECT_FALSE(r.Picture().HasPicture());
  QTest::keyClick(&r, Qt::Key_Left);
  const QImage after = r.Timeline().grab().toImage();
  EXPECT_EQ(before, after);
  // Frames at the start and the end of the window, nothing in the middle.
  const int y = after.height() / 3;
  const auto bar = [&](int x) {
    for (int yy = y; yy < after.height() * 2 / 3; ++yy) {
      if (QColor(after.pixel(x, yy)) == QColor(40, 110, 200)) return true;
    }
    return false;
  };
  const int w = after.width();
  EXPECT_TRUE(bar(1) || bar(2));
  EXPECT_TRUE(bar(w - 1));
  EXPECT_FALSE(bar(w / 2));
  // The gap between them tells its length.
  const std::optional<QString> gap = r.Timeline().GapTextAt(w / 2.0);
  ASSERT_TRUE(gap);
  EXPECT_EQ(*gap, QString::fromUtf8("Перерыв 16 мин 36 с"));
  EXPECT_FALSE(r.Timeline().GapTextAt(1.0));
  EXPECT_EQ(GapLengthText(89401), QString::fromUtf8("1 дн 0 ч 50 мин"));
  EXPECT_EQ(GapLengthText(3725), QString::fromUtf8("1 ч 02 мин"));
  EXPECT_EQ(GapLengthText(61), QString::fromUtf8("1 мин 01 с"));
}

TEST_F(ReviewWindowTest, WheelZoomsAroundTheMouseAndAClickGoesToTheNearestFrame) {
  const std::string path = WriteTimes(TempDir() / "z.bfk", {0 + 1'000'000, 1'000'100, 1'000'200});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.resize(800, 600);
  r.show();
  TimelineStrip& t = r.Timeline();
  const double x = t.width() * 0.5;
  const double under = t.TimeAt(x);
  QWheelEvent wheel(QPointF(x, 10), t.mapToGlobal(QPointF(x, 10)), QPoint(), QPoint(0, 360),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&t, &wheel);
  EXPECT_LT(r.Presenter().Window().Length(), 201.0 / 1.9);
  EXPECT_NEAR(t.TimeAt(x), under, 1e-6);
  QTest::mouseClick(&t, Qt::LeftButton, Qt::NoModifier,
                    QPoint(static_cast<int>(t.XOf(1'000'090)), 10));
  EXPECT_EQ(r.Presenter().Current(), 1u);
}

TEST_F(ReviewWindowTest, SpacePlaysOnTheTimerAtTheKeptSpeedAndStops) {
  const std::string path = WriteTimes(TempDir() / "p.bfk", {100, 101, 102, 103, 104});
  ReviewWindow r(
      prompts, headers, [] { return Rotation::None; }, nullptr, &settings, &timer);
  ASSERT_TRUE(r.Open(path));
  r.show();
  QTest::keyClick(&r, Qt::Key_Plus);  // 2x: half a second a frame
  EXPECT_EQ(settings.ReadInt("Settings", "Review speed", 0), 200);
  QTest::keyClick(&r, Qt::Key_BracketRight);
  EXPECT_EQ(settings.ReadInt("Settings", "Review gap limit", 0), 30);
  EXPECT_TRUE(r.StatusText().contains(QString::fromUtf8("перерывы длиннее 30 с пропускаются")))
      << r.StatusText().toStdString();
  QTest::keyClick(&r, Qt::Key_Space);
  EXPECT_TRUE(r.Playback().Playing());
  EXPECT_TRUE(r.StatusText().contains(QString::fromUtf8("воспроизведение 2×")))
      << r.StatusText().toStdString();
  // Each step fires on the timer and runs when the window's events are handled.
  const auto run = [&](uint64_t ms) {
    timer.RunFor(ms);
    QCoreApplication::sendPostedEvents();
  };
  run(499);
  EXPECT_EQ(r.Presenter().Position(), 0u);
  run(1);
  EXPECT_EQ(r.Presenter().Position(), 1u);
  run(500);
  EXPECT_EQ(r.Presenter().Position(), 2u);
  QTest::keyClick(&r, Qt::Key_Space);
  EXPECT_FALSE(r.Playback().Playing());
  run(5000);
  EXPECT_EQ(r.Presenter().Position(), 2u);

  // P: the main player's fixed rate; kept for the next window.
  settings.WriteInt("Settings", "Player fps", 4);
  QTest::keyClick(&r, Qt::Key_P);
  EXPECT_EQ(settings.ReadInt("Settings", "Review fixed rate", 0), 4);
  ReviewWindow second(
      prompts, headers, [] { return Rotation::None; }, nullptr, &settings, &timer);
  EXPECT_EQ(second.Playback().Pace().fixedRate, 4);
  EXPECT_EQ(second.Playback().Pace().speedPercent, 200);
  QTest::keyClick(&r, Qt::Key_Space);
  run(250);
  EXPECT_EQ(r.Presenter().Position(), 3u);
  run(250);
  EXPECT_EQ(r.Presenter().Position(), 4u);
  EXPECT_FALSE(r.Playback().Playing());  // the last frame ends playing
}

TEST_F(ReviewWindowTest, HoveringOverTheTimelineShowsTheFrameUnderTheMouseWithItsTime) {
  TimeZoneGuard zone("UTC0");
  // 2009-06-15 12:00:00 UTC and on; a gap of 100 s before the last frame.
  const std::string path =
      WriteTimes(TempDir() / "h.bfk", {1245067200, 1245067201, 1245067202, 1245067302});
  ReviewWindow r(prompts, headers, [] { return Rotation::Cw90; });
  ASSERT_TRUE(r.Open(path));
  r.resize(800, 600);
  r.show();
  TimelineStrip& t = r.Timeline();
  QTest::mouseMove(&t, QPoint(static_cast<int>(t.XOf(1245067201.5)), 20));
  ASSERT_TRUE(r.Thumbnail().isVisible());
  EXPECT_EQ(r.Thumbnail().Time(), QStringLiteral("2009-06-15 12:00:01"));
  // Half of 320x240 (the smallest scale at least 160 wide), turned as the main window turns.
  EXPECT_EQ(r.Thumbnail().Image().size(), QSize(120, 160));
  EXPECT_EQ(r.Thumbnails().Decodes(), 1u);
  // Inside the window, above the timeline.
  EXPECT_LE(r.Thumbnail().geometry().bottom(), t.geometry().top());
  EXPECT_GE(r.Thumbnail().x(), 0);

  QTest::mouseMove(&t, QPoint(static_cast<int>(t.XOf(1245067201.7)), 20));
  EXPECT_EQ(r.Thumbnails().Decodes(), 1u);  // the same frame: kept, not decoded again
  QTest::mouseMove(&t, QPoint(static_cast<int>(t.XOf(1245067302.5)), 20));
  EXPECT_TRUE(r.Thumbnail().isVisible());
  EXPECT_EQ(r.Thumbnail().Time(), QStringLiteral("2009-06-15 12:01:42"));
  // Over the gap: nothing to show but the gap's length.
  QTest::mouseMove(&t, QPoint(static_cast<int>(t.XOf(1245067250)), 20));
  EXPECT_FALSE(r.Thumbnail().isVisible());
  QTest::mouseMove(&t, QPoint(static_cast<int>(t.XOf(1245067200.5)), 20));
  EXPECT_TRUE(r.Thumbnail().isVisible());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&t, &leave);
  EXPECT_FALSE(r.Thumbnail().isVisible());
}

TEST_F(ReviewWindowTest, TheMarkedStretchExportsAsVideoAndAsStills) {
  const std::string path = WriteTimes(TempDir() / "e.bfk", {100, 101, 102, 103, 104, 105, 106});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.show();
  StretchExportView& exports = r.Exports();
  // Nothing marked yet: the operator is told how.
  ASSERT_NE(exports.FramesAction(), nullptr);
  exports.FramesAction()->trigger();
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown.back().text, "Отметьте начало (I) и конец (O) отрезка.");
  EXPECT_FALSE(exports.Presenter().Export().Busy());

  QTest::keyClick(&r, Qt::Key_Right);
  QTest::keyClick(&r, Qt::Key_I);
  for (int i = 0; i < 3; ++i) QTest::keyClick(&r, Qt::Key_Right);
  QTest::keyClick(&r, Qt::Key_O);  // frames 1..4

  const std::filesystem::path stills = TempDir() / "stills";
  prompts.folders.push_back(stills.string());
  exports.FramesAction()->trigger();
  ASSERT_TRUE(exports.Presenter().Export().Busy());
  EXPECT_NE(exports.ProgressDialog(), nullptr);
  exports.Presenter().Export().Wait();
  QCoreApplication::processEvents();  // the end, queued by the worker
  EXPECT_EQ(exports.ProgressDialog(), nullptr);
  EXPECT_EQ(prompts.shown.back().text, "Записано кадров: 4, пропущено: 0");
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(stills)) ++files;
  EXPECT_EQ(files, 4u);

#ifdef BF_HAVE_VIDEO
  ASSERT_NE(exports.VideoAction(), nullptr);
  EXPECT_EQ(exports.VideoAction()->text(), QString::fromUtf8("Экспорт отрезка в видео..."));
  exports.BurnInAction()->setChecked(true);
  const std::string video = (TempDir() / "stretch.mkv").string();
  prompts.saveFiles.push_back(video);
  exports.VideoAction()->trigger();
  exports.Presenter().Export().Wait();
  QCoreApplication::processEvents();  // the end, queued by the worker
  EXPECT_EQ(prompts.shown.back().text, "Записано кадров: 4, пропущено: 0");
  auto probed = test::Probe(video);
  EXPECT_EQ(probed["nb_read_frames"], "4");
  // At the recorded pace: one frame a second.
  EXPECT_EQ(test::PacketTimesMs(video), (std::vector<long>{0, 1000, 2000, 3000}));
#endif
}

TEST_F(ReviewWindowTest, AStretchWhoseFramesStandApartInTheFileIsNotExported) {
  // The clock was set back before the fourth frame: the stretch 101..103 takes frames 1, 2, 4.
  const std::string path = WriteTimes(TempDir() / "b.bfk", {100, 101, 102, 50, 103});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.Presenter().GoToTime(101);
  r.Presenter().MarkIn();
  r.Presenter().GoToTime(103);
  r.Presenter().MarkOut();
  ASSERT_EQ(r.Presenter().MarkedFrames(), (std::vector<std::size_t>{1, 2, 4}));
  prompts.folders.push_back((TempDir() / "none").string());
  r.Exports().FramesAction()->trigger();
  EXPECT_FALSE(r.Exports().Presenter().Export().Busy());
  EXPECT_EQ(prompts.folders.size(), 1u);  // not asked
  EXPECT_NE(prompts.shown.back().text.find("не подряд"), std::string::npos);
}

TEST_F(ReviewWindowTest, ThePictureZoomsAroundTheMousePansWhenDraggedAndFitsWithF) {
  const std::string path = WriteTimes(TempDir() / "z.bfk", {100, 101});
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.resize(800, 600);
  r.show();
  ReviewPicture& p = r.Picture();
  const QRect fitted = p.PictureRect();
  ASSERT_FALSE(fitted.isEmpty());
  const auto wheel = [&](QPointF at, int delta) {
    QWheelEvent event(at, p.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&p, &event);
  };
  // Two notches in at a quarter of the picture: that spot stays under the mouse.
  const QPointF at(fitted.left() + fitted.width() * 0.25, fitted.top() + fitted.height() * 0.25);
  wheel(at, 240);
  EXPECT_NEAR(p.Zoom(), 1.5625, 1e-9);
  QRect zoomed = p.PictureRect();
  EXPECT_NEAR(zoomed.width(), fitted.width() * 1.5625, 1.0);
  EXPECT_NEAR(zoomed.left() + zoomed.width() * 0.25, at.x(), 1.0);
  EXPECT_NEAR(zoomed.top() + zoomed.height() * 0.25, at.y(), 1.0);
  // A drag moves it, but never so far that the fitted place shows an edge.
  QTest::mousePress(&p, Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
  QTest::mouseMove(&p, QPoint(380, 290));
  QTest::mouseRelease(&p, Qt::LeftButton, Qt::NoModifier, QPoint(380, 290));
  EXPECT_EQ(p.PictureRect().topLeft(), zoomed.topLeft() + QPoint(-20, -10));
  QTest::mousePress(&p, Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
  QTest::mouseMove(&p, QPoint(1400, 300));
  QTest::mouseRelease(&p, Qt::LeftButton, Qt::NoModifier, QPoint(1400, 300));
  EXPECT_EQ(p.PictureRect().left(), fitted.left());
  // Zoom and pan stay for the next frame; F fits it again; zooming out stops at the fit.
  QTest::keyClick(&r, Qt::Key_Right);
  EXPECT_NEAR(p.Zoom(), 1.5625, 1e-9);
  QTest::keyClick(&r, Qt::Key_F);
  EXPECT_EQ(p.PictureRect(), fitted);
  wheel(at, -360);
  EXPECT_EQ(p.Zoom(), 1.0);
  EXPECT_EQ(p.PictureRect(), fitted);
}

TEST_F(ReviewWindowTest, ClosingAPlayingWindowLeavesNoStepBehind) {
  const std::string path = WriteTimes(TempDir() / "c.bfk", {100, 101, 102, 103});
  auto* r = new ReviewWindow(
      prompts, headers, [] { return Rotation::None; }, nullptr, &settings, &timer);
  ASSERT_TRUE(r->Open(path));
  r->show();
  QTest::keyClick(r, Qt::Key_Space);
  timer.RunFor(1000);  // the step is posted to the window, not yet run
  EXPECT_EQ(timer.Pending(), 0u);
  delete r;
  QCoreApplication::sendPostedEvents();  // the posted step went with the window
  timer.RunFor(10'000);
  EXPECT_EQ(timer.Pending(), 0u);

  // Stopped by closing before the step fires: nothing stays armed on the shared timer.
  r = new ReviewWindow(
      prompts, headers, [] { return Rotation::None; }, nullptr, &settings, &timer);
  ASSERT_TRUE(r->Open(path));
  r->Playback().Play();
  EXPECT_EQ(timer.Pending(), 1u);
  delete r;
  EXPECT_EQ(timer.Pending(), 0u);
}

TEST_F(ReviewWindowTest, HoldingRightStepsAsFastAsFramesAreShownUntilReleased) {
  std::vector<uint32_t> times;
  for (uint32_t t = 0; t < 40; ++t) times.push_back(1000 + t);
  const std::string path = WriteTimes(TempDir() / "hold.bfk", times);
  ReviewWindow r(prompts, headers, [] { return Rotation::None; });
  ASSERT_TRUE(r.Open(path));
  r.show();
  const auto key = [&](QEvent::Type type, Qt::Key k, bool repeat) {
    QKeyEvent event(type, k, Qt::NoModifier, QString(), repeat);
    QApplication::sendEvent(&r, &event);
  };
  key(QEvent::KeyPress, Qt::Key_Right, false);
  EXPECT_EQ(r.Presenter().Position(), 1u);
  EXPECT_EQ(r.HeldDirection(), 0);
  // The keyboard repeats: the window steps on its own, many frames per repeat.
  key(QEvent::KeyRelease, Qt::Key_Right, true);
  key(QEvent::KeyPress, Qt::Key_Right, true);
  EXPECT_EQ(r.HeldDirection(), 1);
  for (int k = 0; k < 5; ++k) QApplication::processEvents();
  const std::size_t held = r.Presenter().Position();
  EXPECT_GE(held, 3u);
  key(QEvent::KeyRelease, Qt::Key_Right, true);
  key(QEvent::KeyPress, Qt::Key_Right, true);  // a further repeat adds no step of its own
  key(QEvent::KeyRelease, Qt::Key_Right, false);
  EXPECT_EQ(r.HeldDirection(), 0);
  const std::size_t released = r.Presenter().Position();
  for (int k = 0; k < 5; ++k) QApplication::processEvents();
  EXPECT_EQ(r.Presenter().Position(), released);
  // Held Left runs back to the first frame and stops there.
  key(QEvent::KeyPress, Qt::Key_Left, true);
  for (int k = 0; k < 200 && r.HeldDirection() != 0; ++k) QApplication::processEvents();
  EXPECT_EQ(r.Presenter().Position(), 0u);
  EXPECT_EQ(r.HeldDirection(), 0);
}

}  // namespace
}  // namespace bf::test
