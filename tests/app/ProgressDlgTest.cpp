// The copy dialog "Копирование..." over the simulated camera of each type, the copy on a link
// thread: its template, the ticks and texts while it copies, Cancel and Escape, and the file it
// leaves. The main window's "Сохранить на диск..." opens it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <future>

#include "MainWindowFixture.h"
#include "flash/CProgressDlg.h"
#include "flash/CopyRecordCheck.h"
#include "flash/CopyRig.h"
#include "flash/FlashReply.h"
#include "flash/RangeDialog.h"
#include "flash/SectorGrid.h"
#include "host/GuiThreadPrompts.h"
#include "host/Sha256.h"
#include "link/LinkThread.h"
#include "recordings/FrameIndex.h"
#include "shell/DialogUnits.h"
#include "shell/QtGuiQueue.h"

namespace bf::test {
namespace {

using ui::CProgressDlg;

QString Text(CProgressDlg& dialog, int id) {
  return qobject_cast<QLabel*>(dialog.Control(id))->text();
}
int Position(CProgressDlg& dialog) {
  return qobject_cast<QProgressBar*>(dialog.Control(ui::IDC_PROGRESS_BAR))->value();
}

// Runs fn once on the GUI thread as soon as a modal widget of type W is up.
template <class W>
void WhenModal(const std::function<void(W&)>& fn) {
  auto* poll = new QTimer(qApp);
  poll->setInterval(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, fn] {
    if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      fn(*w);
    }
  });
  poll->start();
}

// Counts the events of one type that reach the object it filters.
class EventCounter final : public QObject {
 public:
  EventCounter(QEvent::Type type, int* count) : type_(type), count_(count) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++*count_;
    return false;
  }

 private:
  QEvent::Type type_;
  int* count_;
};

// Holds the copying thread after its k-th chunk until fn has run on the GUI thread.
void AtChunkOnGui(CopyRig& r, CProgressDlg& dialog, std::size_t k, std::function<void()> fn) {
  r.log->At(k, [&dialog, fn] {
    if (QThread::currentThread() == dialog.thread()) {
      fn();
      return;
    }
    std::promise<void> done;
    QMetaObject::invokeMethod(
        &dialog,
        [&] {
          fn();
          done.set_value();
        },
        Qt::QueuedConnection);
    done.get_future().wait();
  });
}

// The dialog as the window runs it: the copy on a link thread, the scripted prompts asked on
// this (the GUI) thread. With ownRangeDialog the type 2 range is chosen in the range dialog.
struct DialogRun {
  explicit DialogRun(CopyRig& r, bool ownRangeDialog = false)
      : prompts(r.prompts, gui), dialog(Services(r, ownRangeDialog), nullptr) {}
  ~DialogRun() {
    gui.Close();
    linkThread.WaitIdle();
  }

  ui::ProgressDlgServices Services(CopyRig& r, bool ownRangeDialog) {
    ui::ProgressDlgServices services{r.rig.link, prompts, gui, linkThread};
    services.rangeChooser = ownRangeDialog ? nullptr : &r.chooser;
    services.progress = r.log.get();
    return services;
  }

  // Starts the copy and handles this thread's events until it has ended; the dialog's result.
  int Exec() {
    dialog.Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!dialog.CopyEnded() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_TRUE(dialog.CopyEnded()) << "the copy never ended";
    return dialog.result();
  }

  ui::QtGuiQueue gui;
  GuiThreadPrompts prompts;
  LinkThread linkThread;
  CProgressDlg dialog;
};

TEST(ProgressDlg, TemplateAsTheOriginalHasIt) {
  CopyRig r(CAMERA_SECTORS);
  DialogRun run(r);
  CProgressDlg& d = run.dialog;
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Копирование..."));
  EXPECT_FALSE(d.windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(d.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(d.font().family(), QStringLiteral("Microsoft Sans Serif"));
  EXPECT_EQ(d.font().pointSize(), 8);
  const ui::DialogBaseUnits units = ui::MeasureBaseUnits(d.font());
  EXPECT_EQ(d.size(), QSize(ui::DialogXToPixels(200, units), ui::DialogYToPixels(77, units)));
  struct Row {
    int id;
    const char* text;
    QRect dlu;
  };
  const Row rows[] = {
      {2, "Отмена", {74, 56, 50, 14}},  {1028, "", {7, 34, 186, 14}},
      {1029, "00:00", {72, 7, 21, 8}},  {1030, "00:00", {72, 22, 21, 8}},
      {1031, "0000", {139, 16, 16, 8}},
  };
  for (const Row& row : rows) {
    QWidget* w = d.Control(row.id);
    ASSERT_NE(w, nullptr) << row.id;
    EXPECT_EQ(w->geometry(), ui::DialogToPixels(row.dlu, units)) << row.id;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(label->text(), QString::fromUtf8(row.text));
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
      EXPECT_EQ(button->text(), QString::fromUtf8(row.text));
    }
  }
  auto* bar = qobject_cast<QProgressBar*>(d.Control(1028));
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 1000);
  const Row labels[] = {{0, "Прошло времени:", {7, 7, 61, 8}},
                        {0, "Осталось:", {7, 22, 36, 8}},
                        {0, "Скорость:", {101, 16, 35, 8}},
                        {0, "КБайт/с", {162, 16, 29, 8}}};
  for (const Row& row : labels) {
    QLabel* found = nullptr;
    for (QLabel* label : d.findChildren<QLabel*>()) {
      if (label->text() == QString::fromUtf8(row.text)) found = label;
    }
    ASSERT_NE(found, nullptr) << row.text;
    EXPECT_EQ(found->geometry(), ui::DialogToPixels(row.dlu, units)) << row.text;
  }
  EXPECT_EQ(d.windowModality(), Qt::WindowModal);
  EXPECT_FALSE(d.CopyEnded()) << "nothing happens before Start";
}

TEST(ProgressDlg, SectorCopyTicksOneSecondEachAndCancels) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(uint64_t{192} * kSectorSize, 20);
  r.SetPointer(192 + 3 * 124 + 5, false);
  const std::string file = r.dir.File("sector.bfk");
  r.prompts.saveFiles.push_back(file);
  DialogRun run(r);
  CProgressDlg& d = run.dialog;
  bool checked = false;
  AtChunkOnGui(r, d, 1, [&] {
    const QTimer* timer = d.TickTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(d.Ticking(), CopyClock::TickSeconds);
    d.OnTick(CopyClock::TickSeconds);  // one tick: one second of copying
    EXPECT_EQ(Text(d, ui::IDC_PROGRESS_ELAPSED), QStringLiteral("00:01"));
    EXPECT_EQ(Text(d, ui::IDC_PROGRESS_SPEED), QStringLiteral("62"));  // 63,488 B / 1024
    EXPECT_EQ(Position(d), static_cast<int>(124.0 / (3 * 124 + 5) * 1000.0));
    // (193,024 - 63,488) / 1024 = 126 KiB left at 62 KiB/s
    EXPECT_EQ(Text(d, ui::IDC_PROGRESS_REMAINING), QStringLiteral("00:02"));
    QTest::mouseClick(d.Control(ui::IDC_PROGRESS_CANCEL), Qt::LeftButton);
    EXPECT_TRUE(d.isVisible()) << "Cancel only asks; the copy closes the dialog";
    checked = true;
  });
  EXPECT_EQ(run.Exec(), kCopyResultCancel);
  EXPECT_TRUE(checked);
  EXPECT_EQ(d.TickTimer(), nullptr);
  EXPECT_FALSE(d.isVisible());
  const CopySummary s = d.Session().Summary();
  EXPECT_EQ(s.outcome, CopyOutcome::Cancelled);
  EXPECT_EQ(ReadFile(file), r.SectorBytes(192, 192 + 124)) << "the one whole chunk received";
}

TEST(ProgressDlg, SectorCopyToTheEndLeavesTheRecording) {
  CopyRig r(CAMERA_SECTORS);
  r.WriteFrames(uint64_t{192} * kSectorSize, 12);
  r.SetPointer(192 + 300, false);
  const std::string file = r.dir.File("all.bfk");
  r.prompts.saveFiles.push_back(file);
  DialogRun run(r);
  EXPECT_EQ(run.Exec(), kCopyResultCancel);
  EXPECT_TRUE(run.dialog.Session().Summary().Complete());
  const auto bytes = ReadFile(file);
  EXPECT_EQ(bytes, r.SectorBytes(192, 192 + 300));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 12u);
  // A second start starts nothing.
  run.dialog.Start();
  run.linkThread.WaitIdle();
  QCoreApplication::processEvents();
  EXPECT_EQ(r.prompts.saveRequests.size(), 1u);
}

TEST(ProgressDlg, ACancelWhileTheCopyWaitsForTheLinkSendsNothing) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 3);
  r.SetPointer(700u << 16, false);
  r.prompts.saveFiles.push_back(r.dir.File("never.bfk"));
  DialogRun run(r);
  std::promise<void> go;
  std::shared_future<void> gate = go.get_future().share();
  run.linkThread.Post([gate] { gate.wait(); });  // earlier camera work still under way
  run.dialog.Start();
  QTest::mouseClick(run.dialog.Control(ui::IDC_PROGRESS_CANCEL), Qt::LeftButton);
  const uint64_t calls = r.rig.camera->CallCount();
  go.set_value();
  EXPECT_EQ(run.Exec(), kCopyResultCancel);
  EXPECT_EQ(r.rig.camera->CallCount(), calls) << "nothing went to the camera";
  EXPECT_TRUE(r.prompts.saveRequests.empty());
  EXPECT_EQ(run.dialog.Session().Summary().outcome, CopyOutcome::Cancelled);
  EXPECT_FALSE(std::filesystem::exists(r.dir.File("never.bfk")));
}

TEST(ProgressDlg, PackedCopyTicksTransferTimeAndStopsOnEscape) {
  CopyRig r(CAMERA_PACKED_PAGES);
  r.WriteFrames(0, 30);
  const uint32_t pointer = 700u << 16;  // page 700, column 0: three chunks of 256 pages and more
  r.SetPointer(pointer, false);
  const std::string file = r.dir.File("packed.bfk");
  r.prompts.saveFiles.push_back(file);
  DialogRun run(r);
  CProgressDlg& d = run.dialog;
  int ticks = 0;
  AtChunkOnGui(r, d, 1, [&] {
    ASSERT_NE(d.TickTimer(), nullptr);
    EXPECT_TRUE(d.TickTimer()->isActive());
    EXPECT_EQ(d.Ticking(), CopyClock::TransferTime);
    ++ticks;
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_TRUE(d.isVisible());
  });
  EXPECT_EQ(run.Exec(), kCopyResultOk);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(d.TickTimer(), nullptr);
  EXPECT_EQ(d.Session().Summary().outcome, CopyOutcome::Cancelled);
  const auto bytes = ReadFile(file);
  EXPECT_EQ(bytes.size(), 524'289u);
  EXPECT_EQ(bytes, r.LinearBytes(0, 524'288));
}

TEST(ProgressDlg, PackedCopyShowsTheMeasuredTransferTime) {
  sim::SimOptions o = CopyRig::Options(CAMERA_PACKED_PAGES);
  o.bytesPerSecond = 1'000'000;  // on the virtual clock: each chunk takes about half a second
  CopyRig r(o);
  r.WriteFrames(0, 10);
  r.SetPointer(1000u << 16, false);
  const std::string file = r.dir.File("timed.bfk");
  r.prompts.saveFiles.push_back(file);
  DialogRun run(r);
  CProgressDlg& d = run.dialog;
  QString early;
  AtChunkOnGui(r, d, 1, [&] {
    d.OnTick(CopyClock::TransferTime);  // under a second of transfer: nothing changes
    early = Text(d, ui::IDC_PROGRESS_ELAPSED);
  });
  EXPECT_EQ(run.Exec(), kCopyResultOk);
  EXPECT_EQ(early, QStringLiteral("00:00"));
  d.OnTick(CopyClock::TransferTime);
  const uint32_t total = PackedToLinear(1000u << 16);
  EXPECT_EQ(Position(d), 1000);
  EXPECT_EQ(Text(d, ui::IDC_PROGRESS_ELAPSED),
            QString::fromStdString(FormatDuration(d.Session().ElapsedMs() / 1000)));
  const uint32_t seconds = d.Session().ElapsedMs() / 1000;
  ASSERT_GT(seconds, 0u);
  EXPECT_EQ(Text(d, ui::IDC_PROGRESS_SPEED).toUInt(), total / 1024 / seconds);
  EXPECT_EQ(ReadFile(file), r.LinearBytes(0, total - 1));
}

TEST(ProgressDlg, NandCopyPicksItsRangeInOurRangeDialog) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint64_t sector3 = 3ull << 22;
  const uint64_t end = r.WriteFrames(sector3, 8);
  r.WriteFrames(0, 2);
  r.SetPointer(static_cast<uint32_t>(end - 1), false);
  const std::string file = r.dir.File("nand.bfk");
  r.prompts.saveFiles.push_back(file);
  DialogRun run(r, true);
  QWidget* parentSeen = nullptr;
  int fetchesSeen = 0;
  WhenModal<ui::RangeDialog>([&](ui::RangeDialog& range) {
    parentSeen = range.parentWidget();
    // The whole recording is offered first: sector 0 up to the pointer's sector 3.
    EXPECT_EQ(range.Model().StartSector(), 0);
    EXPECT_EQ(range.Model().EndSector(), 3);
    // The headers are read on the copying thread and come back as queued calls.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (range.Model().HasWork() && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    fetchesSeen = range.Model().FetchCount();
    EXPECT_TRUE(range.ControlText(ui::IDC_RANGE_END).contains(QStringLiteral("14.06.09")))
        << range.ControlText(ui::IDC_RANGE_END).toStdString();
    QTest::keyClick(&range.Grid(), Qt::Key_End);  // just the pointer's sector
    QTest::keyClick(&range.Grid(), Qt::Key_Return);
  });
  EXPECT_EQ(run.Exec(), kCopyResultOk);
  EXPECT_EQ(parentSeen, &run.dialog);
  EXPECT_EQ(fetchesSeen, 2) << "sectors 0 and 3; nothing past the pointer";
  EXPECT_TRUE(run.dialog.Session().Summary().Complete());
  const auto bytes = ReadFile(file);
  EXPECT_EQ(bytes, r.LinearBytes(sector3, end - 1));
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 8u);
}

TEST(ProgressDlg, ACancelledRangeClosesWithoutAFile) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint64_t end = r.WriteFrames(0, 3);
  r.SetPointer(static_cast<uint32_t>(end - 1), false);
  DialogRun run(r, true);
  WhenModal<ui::RangeDialog>(
      [](ui::RangeDialog& range) { QTest::keyClick(&range, Qt::Key_Escape); });
  EXPECT_EQ(run.Exec(), kCopyResultCancel);
  EXPECT_TRUE(r.prompts.saveRequests.empty());
  EXPECT_EQ(run.dialog.Session().Summary().outcome, CopyOutcome::Declined);
}

TEST(ProgressDlg, ACameraLostDuringTheRangeChoiceClosesItAndReportsAtOnce) {
  CopyRig r(CAMERA_NAND_PAGES);
  const uint64_t end = r.WriteFrames(3ull << 22, 4);
  r.SetPointer(static_cast<uint32_t>(end - 1), false);
  DialogRun run(r, true);
  bool closedByItself = false;
  WhenModal<ui::RangeDialog>([&](ui::RangeDialog& range) {
    r.rig.camera->Unplug();
    for (int i = 0; i < 50 && range.isVisible(); ++i) QCoreApplication::processEvents();
    closedByItself = !range.isVisible();
    if (!closedByItself) range.reject();  // ends the test instead of leaving it waiting
  });
  run.Exec();
  EXPECT_TRUE(closedByItself);
  ASSERT_EQ(r.prompts.shown.size(), 1u);
  EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
  EXPECT_TRUE(r.prompts.saveRequests.empty());
  EXPECT_EQ(run.dialog.Session().Summary().outcome, CopyOutcome::Failed);
}

// A camera that falls silent 1000 bytes into the second chunk: the dialog shows the failure and
// closes as after any failure, with no timer left and the first chunk in the file; after a
// replug the next dialog copies everything.
class ProgressDlgReplyFault : public ::testing::TestWithParam<CameraType> {};

TEST_P(ProgressDlgReplyFault, SilenceMidCopyEndsTheDialogInItsFailure) {
  const CameraType type = GetParam();
  CopyRig r(type);
  uint64_t total = 0;
  uint64_t firstChunk = 524'289;
  switch (type) {
    case CAMERA_SECTORS:
      r.WriteFrames(uint64_t{192} * kSectorSize, 20);
      r.SetPointer(192 + 400, false);
      total = 400 * kSectorSize;
      firstChunk = 124 * kSectorSize;
      break;
    case CAMERA_PACKED_PAGES:
      r.WriteFrames(0, 20);
      r.SetPointer(1000u << 16, false);
      total = 1000 * kPageSize;
      break;
    case CAMERA_NAND_PAGES:
      r.WriteFrames(1'000, 20);
      r.SetPointer(2'000'000, false);
      r.chooser.range = {{0, 0}};
      total = 2'000'000 - 1'000 + 1;
      break;
  }
  sim::SimCamera& camera = *r.rig.camera;
  const std::string file = r.dir.File("silent.bfk");
  r.prompts.saveFiles.push_back(file);
  r.log->At(1, [&camera] { camera.SilentAfterReadBytes(camera.BytesRead() + 1000); });
  {
    DialogRun run(r);
    CProgressDlg& d = run.dialog;
    EXPECT_EQ(run.Exec(), type == CAMERA_SECTORS ? kCopyResultCancel : kCopyResultOk);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.TickTimer(), nullptr);
    const CopySummary s = d.Session().Summary();
    EXPECT_EQ(s.outcome, CopyOutcome::Failed);
    EXPECT_FALSE(s.Complete());
    ASSERT_EQ(r.prompts.shown.size(), 1u);
    EXPECT_EQ(r.prompts.shown[0].text, kBadFlashReplyText);
    EXPECT_EQ(r.prompts.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(ReadFile(file).size(), firstChunk);
    EXPECT_LT(Position(d), 1000) << "the bar never claims the whole copy";
  }
  camera.SetMute(false);
  camera.Replug();
  r.rig.link.Close();
  r.rig.link.Open(0);
  r.Fresh();
  const std::string next = r.dir.File("next.bfk");
  r.prompts.saveFiles.push_back(next);
  DialogRun again(r);
  again.Exec();
  EXPECT_TRUE(again.dialog.Session().Summary().Complete());
  EXPECT_TRUE(r.prompts.shown.empty());
  EXPECT_EQ(ReadFile(next).size(), total);
}

TEST_P(ProgressDlgReplyFault, AnExistingFileSurvivesAndTheWholeChunksAreNamedBesideIt) {
  const CameraType type = GetParam();
  for (bool cancel : {false, true}) {
    SCOPED_TRACE(cancel ? "Escape" : "silence");
    CopyRig r(type);
    uint64_t firstChunk = 524'289;
    switch (type) {
      case CAMERA_SECTORS:
        r.WriteFrames(uint64_t{192} * kSectorSize, 20);
        r.SetPointer(192 + 400, false);
        firstChunk = 124 * kSectorSize;
        break;
      case CAMERA_PACKED_PAGES:
        r.WriteFrames(0, 20);
        r.SetPointer(1000u << 16, false);
        break;
      case CAMERA_NAND_PAGES:
        r.WriteFrames(1'000, 20);
        r.SetPointer(2'000'000, false);
        r.chooser.range = {{0, 0}};
        break;
    }
    const std::string file = r.dir.File("earlier.bfk");
    const std::string partial = r.dir.File("earlier.partial.bfk");
    std::ofstream(file) << "an earlier copy";
    r.prompts.saveFiles.push_back(file);
    DialogRun run(r);
    CProgressDlg& d = run.dialog;
    sim::SimCamera& camera = *r.rig.camera;
    AtChunkOnGui(r, d, 1, [&] {
      if (cancel) {
        QTest::keyClick(&d, Qt::Key_Escape);
      } else {
        camera.SilentAfterReadBytes(camera.BytesRead() + 1000);
      }
    });
    run.Exec();
    const CopySummary s = d.Session().Summary();
    EXPECT_EQ(s.outcome, cancel ? CopyOutcome::Cancelled : CopyOutcome::Failed);
    const auto old = ReadFile(file);
    EXPECT_EQ(std::string(old.begin(), old.end()), "an earlier copy");
    EXPECT_EQ(ReadFile(partial).size(), firstChunk);
    ASSERT_EQ(r.prompts.shown.size(), 1u);
    const std::string kept = "Копирование не завершено. Файл " + file +
                             " оставлен без изменений, полученные данные сохранены в файле " +
                             partial + ".";
    EXPECT_EQ(r.prompts.shown[0].text,
              cancel ? kept : std::string(kBadFlashReplyText) + "\n\n" + kept);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ProgressDlgReplyFault,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

// "Сохранить на диск..." in the window: the copy runs on the link thread while the window goes
// on handling its events.
class MainWindowFlashSave : public MainWindowTest {
 protected:
  // The type 2 range dialog offers the whole recording; it is taken as offered.
  static void TakeTheOfferedRange() {
    WhenModal<ui::RangeDialog>(
        [](ui::RangeDialog& range) { QTest::keyClick(&range.Grid(), Qt::Key_Return); });
  }
  std::vector<uint8_t> CopyAll(const std::string& file) {
    prompts.saveFiles.push_back(file);
    if (options.type == CAMERA_NAND_PAGES) TakeTheOfferedRange();
    Click(ui::IDC_FLASH_SAVE);
    EXPECT_EQ(OpenCopyDialog(), nullptr);
    return ReadFile(file);
  }
};

TEST_F(MainWindowFlashSave, TheButtonCopiesTheCameraIntoARecording) {
  options.type = CAMERA_PACKED_PAGES;
  options.prefillFrames = 25;
  Start();
  const std::string file = (TempDir() / "saved.bfk").string();
  const std::vector<uint8_t> bytes = CopyAll(file);
  EXPECT_EQ(BuildFrameIndex(bytes).size(), 25u);
  // Its record beside it, with the camera's clock read first.
  std::string error;
  const auto record = ReadCopyRecord(file + ".json", &error);
  ASSERT_TRUE(record.has_value()) << error;
  EXPECT_EQ((*record)["outcome"].text, "complete");
  EXPECT_EQ((*record)["files"][0]["sha256"].text, Sha256Hex(bytes));
  EXPECT_EQ((*record)["files"][0]["frames"].Unsigned(), 25u);
  EXPECT_TRUE((*record)["clock"]["camera_read"].boolean);
  EXPECT_TRUE((*record)["clock"]["camera_minus_pc_seconds"].Signed().has_value());
  EXPECT_TRUE(CheckCopyRecord(file + ".json", *record).at(0).matches);
  // The window's link is back and working.
  EXPECT_EQ(window->Link().GetStatusCode(), ftstatus::kOk);
}

class MainWindowFlashSaveEachType : public MainWindowFlashSave,
                                    public ::testing::WithParamInterface<CameraType> {};

// The whole flash first; then a copy held in its second chunk while the window paints, runs a
// posted call and takes Cancel, which ends the copy after that chunk.
TEST_P(MainWindowFlashSaveEachType, CopiesAndCancelsWhileTheWindowStaysAlive) {
  options.type = GetParam();
  options.prefillFrames = 600;
  Start();
  const uint64_t chunk = CopyChunkBytes(GetParam());
  const std::vector<uint8_t> whole = CopyAll((TempDir() / "whole.bfk").string());
  EXPECT_EQ(BuildFrameIndex(whole).size(), 600u);
  ASSERT_GT(whole.size(), 4 * chunk) << "too small a flash to cancel in";

  // Held at the first read past two chunks' worth of bytes: inside the copy's second chunk
  // (or a later one), with its request sent.
  const std::string file = (TempDir() / "cancelled.bfk").string();
  prompts.saveFiles.push_back(file);
  if (GetParam() == CAMERA_NAND_PAGES) TakeTheOfferedRange();
  SaveHeldAt(2 * chunk, [&](ui::CProgressDlg* dialog) {
    // The copy is under way on the link thread, and this thread handles the window's events.
    bool posted = false;
    bool linkBusyThen = false;
    QMetaObject::invokeMethod(
        window.get(),
        [&] {
          posted = true;
          linkBusyThen = !window->LinkIdle();
        },
        Qt::QueuedConnection);
    EXPECT_TRUE(HandleEventsUntil([&] { return posted; }));
    EXPECT_TRUE(linkBusyThen) << "the posted call ran only after the copy";
    int paints = 0;
    EventCounter counter(QEvent::Paint, &paints);
    window->installEventFilter(&counter);
    window->update();
    EXPECT_TRUE(HandleEventsUntil([&] { return paints > 0; })) << "no repaint during the copy";
    window->removeEventFilter(&counter);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), dialog) << "the window takes no input meanwhile";
    PressCancel(dialog);
  });

  const std::vector<uint8_t> part = ReadFile(file);
  EXPECT_EQ(part.size() % chunk, 0u) << "whole chunks only";
  EXPECT_GE(part.size(), 2 * chunk) << "the chunk under way is finished";
  EXPECT_LT(part.size(), whole.size()) << "Cancel ended the copy";
  EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin())) << "the start of the flash";
  EXPECT_EQ(window->Link().GetStatusCode(), ftstatus::kOk);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, MainWindowFlashSaveEachType,
                         ::testing::Values(CAMERA_SECTORS, CAMERA_PACKED_PAGES, CAMERA_NAND_PAGES));

}  // namespace
}  // namespace bf::test
