// The range dialog of a type 2 camera's copy: what it reads through the callback and when, and
// how the person picks the first and last sector with the mouse and the keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "flash/RangeDialog.h"
#include "flash/SectorGrid.h"
#include "frames/FrameHeader.h"
#include "frames/OverlayText.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {
namespace {

// The camera side of the lookup: sectors that hold a frame, the calls made, and an optional
// failure at the n-th call.
struct FakeSectors {
  std::map<int, FrameHeader> frames;
  std::vector<int> calls;
  int failAtCall = 0;

  std::optional<FrameHeader> Look(uint8_t sector) {
    calls.push_back(sector);
    if (failAtCall != 0 && static_cast<int>(calls.size()) == failAtCall) {
      throw std::runtime_error("Read 64k-block error!");
    }
    const auto it = frames.find(sector);
    if (it == frames.end()) return std::nullopt;
    return it->second;
  }
  SectorHeaderLookup Lookup() {
    return [this](uint8_t sector) { return Look(sector); };
  }
  // Every sector holds a frame, an hour apart from the previous sector's, from t0 on.
  static FakeSectors Recorded(uint32_t t0 = 1245067200) {
    FakeSectors s;
    for (int i = 0; i < 256; ++i) {
      s.frames[i] = FrameHeader::Make(4000, t0 + 3600u * static_cast<uint32_t>(i), 2, 0, 3, 0);
    }
    return s;
  }
  std::set<int> Distinct() const { return std::set<int>(calls.begin(), calls.end()); }
};

// Runs the event loop until the dialog wants no more frame headers (at most `turns` turns).
void Settle(RangeDialog& dialog, int turns = 400) {
  for (int i = 0; i < turns && dialog.Model().HasWork(); ++i) QCoreApplication::processEvents();
  QCoreApplication::processEvents();
}

QPoint CellCentre(RangeDialog& dialog, int position) {
  return dialog.Grid().CellRect(position).center();
}

TEST(RangeDialog, OpensOnTheWholeRecordingAndReadsOnlyWhatItShows) {
  FakeSectors camera = FakeSectors::Recorded();
  RangeDialog dialog(40, false, camera.Lookup(), nullptr);
  dialog.show();
  EXPECT_EQ(dialog.Model().StartSector(), 0);
  EXPECT_EQ(dialog.Model().EndSector(), 40);
  Settle(dialog);
  // The two ends, then the row starts up to the pointer; nothing past the write pointer.
  EXPECT_EQ(camera.Distinct(), (std::set<int>{0, 16, 32, 40}));
  EXPECT_EQ(camera.calls.size(), camera.Distinct().size()) << "a sector is read once";
  const QString start = dialog.ControlText(IDC_RANGE_START);
  EXPECT_TRUE(start.startsWith(QStringLiteral("сектор 0 — "))) << start.toStdString();
  EXPECT_TRUE(start.contains(QString::fromStdString(BuildOverlayText(camera.frames[0])).trimmed()))
      << start.toStdString();
  EXPECT_TRUE(dialog.ControlText(IDC_RANGE_END).contains(QStringLiteral("04:00:00")))
      << dialog.ControlText(IDC_RANGE_END).toStdString();
  EXPECT_TRUE(dialog.ControlText(IDC_RANGE_SIZE).contains(QStringLiteral("41 (164 МБайт)")));
}

TEST(RangeDialog, ASweepOfThePointerReadsAFewSectorsNotAll) {
  FakeSectors camera = FakeSectors::Recorded();
  RangeDialog dialog(255, true, camera.Lookup(), nullptr);
  dialog.show();
  // Across every cell within one turn of the event loop (moves pile up while a read blocks),
  // then more slowly, resting on a few cells.
  for (int p = 0; p < 256; ++p) {
    const QPoint at = CellCentre(dialog, p);
    QMouseEvent move(QEvent::MouseMove, at, dialog.Grid().mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog.Grid(), &move);
  }
  Settle(dialog);
  for (int p = 255; p >= 0; p -= 37) {
    QTest::mouseMove(&dialog.Grid(), CellCentre(dialog, p));
    Settle(dialog);
  }
  EXPECT_LT(camera.Distinct().size(), 40u);
  EXPECT_EQ(camera.calls.size(), camera.Distinct().size());
  // The sector under the mouse is named with its frame.
  const int last = 255 - 37 * 6;
  const int sector = dialog.Model().SectorAt(last);
  EXPECT_TRUE(camera.Distinct().count(sector));
  EXPECT_TRUE(
      dialog.ControlText(IDC_RANGE_LOOK).startsWith(QStringLiteral("Сектор %1 — ").arg(sector)))
      << dialog.ControlText(IDC_RANGE_LOOK).toStdString();
}

TEST(RangeDialog, ASectorWithoutAFrameIsShownEmptyAndUnwrittenOnesAreNotRead) {
  FakeSectors camera;  // nothing found anywhere
  RangeDialog dialog(3, false, camera.Lookup(), nullptr);
  dialog.show();
  Settle(dialog);
  EXPECT_EQ(dialog.ControlText(IDC_RANGE_START), QStringLiteral("сектор 0 — кадра нет"));
  QTest::mouseMove(&dialog.Grid(), CellCentre(dialog, 200));
  Settle(dialog);
  EXPECT_EQ(dialog.ControlText(IDC_RANGE_LOOK), QStringLiteral("Сектор 200 — не записан"));
  EXPECT_EQ(camera.Distinct(), (std::set<int>{0, 3}));
}

TEST(RangeDialog, KeysMoveTheCursorAndWithShiftTheEndOnly) {
  FakeSectors camera = FakeSectors::Recorded();
  RangeDialog dialog(100, false, camera.Lookup(), nullptr);
  dialog.show();
  SectorGrid& grid = dialog.Grid();
  QTest::keyClick(&grid, Qt::Key_Home);
  EXPECT_EQ(dialog.Model().StartSector(), 0);
  EXPECT_EQ(dialog.Model().EndSector(), 0);
  QTest::keyClick(&grid, Qt::Key_Down);   // one row on: 16
  QTest::keyClick(&grid, Qt::Key_Right);  // 17
  QTest::keyClick(&grid, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(&grid, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(dialog.Model().StartSector(), 17);
  EXPECT_EQ(dialog.Model().EndSector(), 34);
  // Extending before the anchor turns the range round: the start is always the earlier one.
  QTest::keyClick(&grid, Qt::Key_PageUp, Qt::ShiftModifier);
  EXPECT_EQ(dialog.Model().StartSector(), 0);
  EXPECT_EQ(dialog.Model().EndSector(), 17);
  QTest::keyClick(&grid, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(dialog.Model().StartSector(), 17);
  EXPECT_EQ(dialog.Model().EndSector(), 100);
  Settle(dialog);
  EXPECT_TRUE(camera.Distinct().count(17));
  EXPECT_TRUE(camera.Distinct().count(100));
}

TEST(RangeDialog, TheMousePicksByPositionInTheRecordingAcrossTheEndOfTheFlash) {
  FakeSectors camera = FakeSectors::Recorded();
  RangeDialog dialog(100, true, camera.Lookup(), nullptr);
  dialog.show();
  SectorRangeModel& model = dialog.Model();
  // Recording order: 101 (oldest) .. 255, 0 .. 100 (newest); the flash's end is at 155.
  EXPECT_EQ(model.SectorAt(0), 101);
  EXPECT_EQ(model.WrapPosition(), 155);
  SectorGrid& grid = dialog.Grid();
  QTest::mousePress(&grid, Qt::LeftButton, {}, CellCentre(dialog, 150));
  // A drag: a move with the left button held.
  QMouseEvent drag(QEvent::MouseMove, CellCentre(dialog, 170),
                   grid.mapToGlobal(CellCentre(dialog, 170)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&grid, &drag);
  QTest::mouseRelease(&grid, Qt::LeftButton, {}, CellCentre(dialog, 170));
  EXPECT_EQ(model.StartSector(), 251);
  EXPECT_EQ(model.EndSector(), 15);
  EXPECT_TRUE(dialog.ControlText(IDC_RANGE_SIZE).contains(QStringLiteral("два файла")));
  QTest::mouseClick(&grid, Qt::LeftButton, Qt::ShiftModifier, CellCentre(dialog, 140));
  EXPECT_EQ(model.StartSector(), 241);
  EXPECT_EQ(model.EndSector(), 251);
  EXPECT_FALSE(dialog.ControlText(IDC_RANGE_SIZE).contains(QStringLiteral("два файла")));
  QTest::mouseClick(&grid, Qt::LeftButton, {}, CellCentre(dialog, 255));
  EXPECT_EQ(model.StartSector(), 100);
  EXPECT_EQ(model.EndSector(), 100);
}

// Runs ChooseRange with `script` played once the dialog is up.
std::optional<SectorRange> Choose(FakeSectors& camera, uint8_t pointer, bool wrap,
                                  const std::function<void(RangeDialog&)>& script) {
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<RangeDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    script(*dialog);
  });
  QtGuiQueue gui;
  RangeDialogChooser chooser(gui, nullptr);
  return chooser.ChooseRange(pointer, wrap, camera.Lookup());
}

TEST(RangeDialog, ConfirmingGivesTheTwoSectorsAndANonZeroResult) {
  FakeSectors camera = FakeSectors::Recorded();
  const std::optional<SectorRange> chosen = Choose(camera, 9, true, [](RangeDialog& dialog) {
    QTest::keyClick(&dialog.Grid(), Qt::Key_Home);
    QTest::keyClick(&dialog.Grid(), Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(&dialog.Grid(), Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(&dialog.Grid(), Qt::Key_Return);
  });
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->first, 10);
  EXPECT_EQ(chosen->last, 8);
}

TEST(RangeDialog, CancelOrEscapeGivesNoRange) {
  FakeSectors camera = FakeSectors::Recorded();
  EXPECT_FALSE(Choose(camera, 9, false, [](RangeDialog& dialog) {
                 QTest::keyClick(&dialog, Qt::Key_Escape);
               }).has_value());
  EXPECT_FALSE(Choose(camera, 9, false, [](RangeDialog& dialog) {
                 QTest::mouseClick(static_cast<QAbstractButton*>(dialog.Control(2)),
                                   Qt::LeftButton);
               }).has_value());
}

TEST(RangeDialog, ALookupFailureClosesTheDialogAndReachesTheCaller) {
  FakeSectors camera = FakeSectors::Recorded();
  camera.failAtCall = 2;
  QtGuiQueue gui;
  RangeDialogChooser chooser(gui, nullptr);
  // Nobody presses anything: the dialog ends by itself on the failing read.
  EXPECT_THROW(chooser.ChooseRange(50, false, camera.Lookup()), std::runtime_error);
  EXPECT_EQ(camera.calls.size(), 2u) << "no read after the failure";
}

// Runs the GUI thread's events until done() holds (fails the test after 10 s).
bool RunUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

RangeDialog* ShownRangeDialog() {
  return qobject_cast<RangeDialog*>(QApplication::activeModalWidget());
}

TEST(RangeDialog, FromTheCopyingThreadTheHeadersAreReadThereWhileTheWindowGoesOn) {
  FakeSectors camera = FakeSectors::Recorded();
  std::atomic<int> lookups{0};
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::vector<std::thread::id> readers;
  const SectorHeaderLookup lookup = [&](uint8_t sector) {
    readers.push_back(std::this_thread::get_id());
    ++lookups;
    released.wait();  // the camera takes its time over the first read
    return camera.Look(sector);
  };
  QtGuiQueue gui;
  RangeDialogChooser chooser(gui, nullptr);
  std::optional<SectorRange> chosen;
  std::thread copying([&] { chosen = chooser.ChooseRange(9, false, lookup); });
  ASSERT_TRUE(RunUntil([&] { return ShownRangeDialog() != nullptr && lookups.load() > 0; }));
  // A read under way on the copying thread leaves the window's events flowing.
  bool handled = false;
  QTimer::singleShot(0, [&] { handled = true; });
  EXPECT_TRUE(RunUntil([&] { return handled; }));
  release.set_value();
  RangeDialog* dialog = ShownRangeDialog();
  ASSERT_TRUE(
      RunUntil([&] { return dialog->Model().Info(9).state == SectorRangeModel::State::Frame; }));
  QTest::keyClick(&dialog->Grid(), Qt::Key_End);
  QTest::keyClick(&dialog->Grid(), Qt::Key_Return);
  const std::thread::id copier = copying.get_id();
  copying.join();
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->first, 9);
  EXPECT_EQ(chosen->last, 9);
  ASSERT_FALSE(readers.empty());
  for (const std::thread::id reader : readers) EXPECT_EQ(reader, copier);
}

TEST(RangeDialog, FromTheCopyingThreadALookupFailureClosesTheDialogAndReachesTheCopy) {
  FakeSectors camera = FakeSectors::Recorded();
  camera.failAtCall = 2;
  QtGuiQueue gui;
  RangeDialogChooser chooser(gui, nullptr);
  std::atomic<bool> threw{false};
  std::atomic<bool> ended{false};
  std::thread copying([&] {
    try {
      chooser.ChooseRange(50, false, camera.Lookup());
    } catch (const std::runtime_error&) {
      threw = true;
    }
    ended = true;
  });
  // Nobody presses anything: the dialog ends by itself on the failing read.
  EXPECT_TRUE(RunUntil([&] { return ended.load(); }));
  copying.join();
  EXPECT_TRUE(threw.load());
  EXPECT_EQ(camera.calls.size(), 2u) << "no read after the failure";
  EXPECT_TRUE(RunUntil([] { return ShownRangeDialog() == nullptr; }));
}

}  // namespace
}  // namespace bf::ui
