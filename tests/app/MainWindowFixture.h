#pragma once
// A main window on the simulated camera, a virtual clock and scripted prompts, plus a
// backend wrapper that records what the program wrote to the camera.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "ManualQuietTimers.h"
#include "flash/CProgressDlg.h"
#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/TickSource.h"
#include "link/BackendRegistry.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "picture/CBfkPlayer.h"
#include "recordings/Player.h"
#include "recordings/PlayerPanel.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/CallLogBackend.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {

using RecordingBackend = CallLogBackend;

inline JpegHeaderTable LoadTestHeaders() {
  JpegHeaderTable table;
  const TableLoadResult result = LoadJpegHeaderTableFromFile(BF_HEADERS_DAT, table);
  EXPECT_TRUE(result.ok) << result.error;
  return table;
}

class MainWindowTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  sim::SimOptions options;
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<RecordingBackend> backend;
  ScriptedPrompts prompts;
  MemorySettingsStore settings;
  JpegHeaderTable headers = LoadTestHeaders();
  VirtualPlaybackTimer timer{clock};
  ManualQuietTimers quietTimers;
  std::unique_ptr<ui::CBrindleFlashDlg> window;

  // Builds the window on the simulated camera (or on a backend that finds no device) and runs
  // its initialisation.
  void Start(const std::string& commandLine = "", bool withCamera = true) {
    std::shared_ptr<D2xxBackend> inner;
    if (withCamera) {
      camera = std::make_shared<sim::SimCamera>(options, clock);
      inner = camera;
    } else {
      inner = MakeFailingBackend(ftstatus::kDeviceNotFound);
    }
    backend = std::make_shared<RecordingBackend>(inner);
    quietTimers.Forget();
    window = std::make_unique<ui::CBrindleFlashDlg>(ui::MainWindowServices{
        prompts, settings, backend, clock, headers, timer, commandLine, quietTimers.Factory()});
    window->OnInitDialog();
    WaitForLink();  // the window appears once the start-up handshake has ended
    window->show();
  }

  // Handles the window's events until the link thread has done everything posted to it, or
  // runs only the live view (the Start/Stop button in, not autonomous) with nothing waiting.
  void Settle() {
    const auto settled = [this] {
      if (window->LinkIdle()) return true;
      const bool livePushed =
          B(ui::IDC_START_STOP)->isChecked() && !B(ui::IDC_AUTONOMOUS)->isChecked();
      return livePushed && window->OnlyLiveViewRuns();
    };
    while (!settled()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
  }
  // Handles the window's events until the link thread has nothing to do (a live view that ends
  // by itself has ended).
  void WaitForLink() {
    while (!window->LinkIdle()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
  }

  // Clicks Start, then handles the window's events round by round while the live view runs on
  // the link thread; after each round `during(round)` may act as the operator (click Stop, close
  // the window) and returns true once it has ended the view. Returns when the link thread is done.
  void WhileLive(const std::function<bool(int round)>& during) {
    Click(ui::IDC_START_STOP);
    for (int round = 1; !window->LinkIdle(); ++round) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (during(round)) break;
    }
    WaitForLink();
  }

  void TearDown() override {
    if (window) {
      window->PlayerWindow().ClearDisplay();
      window.reset();
    }
    if (!tempDir_.empty()) std::filesystem::remove_all(tempDir_);
  }

  // A key press and release on a slider, then the quiet time that ends its move.
  void KeyStep(QWidget* slider, Qt::Key key) {
    QTest::keyClick(slider, key);
    quietTimers.RunOutAll();
    Settle();
  }

  // The controls as the operator sees them: by their id, which the window gives them as their
  // object name.
  QWidget* W(int id) const { return window->findChild<QWidget*>(QString::number(id)); }
  template <class W>
  W* ControlAs(int id) const {
    return qobject_cast<W*>(this->W(id));
  }
  QAbstractButton* B(int id) const { return ControlAs<QAbstractButton>(id); }
  QSlider* S(int id) const { return ControlAs<QSlider>(id); }
  QComboBox* L(int id) const { return ControlAs<QComboBox>(id); }
  QString RateText() const { return ControlAs<QLineEdit>(ui::IDC_RATE_EDIT)->text(); }
  std::string StartStopCaption() const { return B(ui::IDC_START_STOP)->text().toStdString(); }
  void Click(int id) {
    QTest::mouseClick(W(id), Qt::LeftButton);
    Settle();
  }

  // Handles the window's events until done() holds; false when the deadline passed first.
  static bool HandleEventsUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }
  // The copy dialog on the screen, if one is.
  ui::CProgressDlg* OpenCopyDialog() const {
    for (auto* d : window->findChildren<ui::CProgressDlg*>()) {
      if (d->isVisible()) return d;
    }
    return nullptr;
  }
  // Clicks "Сохранить на диск..." and holds the copy on the link thread at its first read once
  // `bytes` more have come from the camera; whileHeld runs on this thread with the copy dialog
  // meanwhile (false when the copy never got there), then the copy goes on and the window's
  // events are handled until it has ended.
  void SaveHeldAt(uint64_t bytes, const std::function<void(ui::CProgressDlg*)>& whileHeld) {
    std::atomic<bool> held{false};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const uint64_t holdAt = camera->BytesRead() + bytes;
    backend->beforeRead = [&] {
      if (camera->BytesRead() >= holdAt && !held.exchange(true)) {
        released.wait_for(std::chrono::seconds(60));  // a guard only: the test lets it go
      }
    };
    QTest::mouseClick(W(ui::IDC_FLASH_SAVE), Qt::LeftButton);
    const bool reached = HandleEventsUntil([&] { return held.load(); });
    EXPECT_TRUE(reached) << "the copy never got that far";
    whileHeld(reached ? OpenCopyDialog() : nullptr);
    release.set_value();
    Settle();
    backend->beforeRead = nullptr;
    EXPECT_EQ(OpenCopyDialog(), nullptr) << "the copy dialog stayed";
  }
  // Cancel on the copy dialog, as the operator presses it.
  static void PressCancel(ui::CProgressDlg* dialog) {
    ASSERT_NE(dialog, nullptr);
    QTest::mouseClick(dialog->Control(ui::IDC_PROGRESS_CANCEL), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible()) << "Cancel only asks; the copy closes the dialog";
  }

  // Writes a recording of n frames (one a second) and returns its path.
  std::string WriteRecording(uint32_t frames, const std::string& name = "rec.bfk");
  std::filesystem::path TempDir();

  std::filesystem::path tempDir_;
};

}  // namespace bf::test
