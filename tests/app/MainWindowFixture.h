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
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ManualQuietTimers.h"
#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/TickSource.h"
#include "link/BackendRegistry.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "picture/CBfkPlayer.h"
#include "sim/SimCamera.h"
#include "sim/SimOptions.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {

// Passes every call through and keeps the bytes written and the purge masks. The calls come on
// the window's link thread; the test reads `writes` and `purges` once the window has settled
// (MainWindowTest::Settle), or through the locking helpers while a live view runs.
class RecordingBackend final : public D2xxBackend {
 public:
  explicit RecordingBackend(std::shared_ptr<D2xxBackend> inner) : inner_(std::move(inner)) {}

  std::vector<std::vector<uint8_t>> writes;
  std::vector<uint32_t> purges;
  // Called on the link thread before every read; set it while the window is settled.
  std::function<void()> beforeRead;

  std::size_t WriteCount() const {
    std::lock_guard lock(mutex_);
    return writes.size();
  }

  // Every byte written since the mark, flattened.
  std::vector<uint8_t> BytesSince(std::size_t mark) const {
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> all;
    for (std::size_t i = mark; i < writes.size(); ++i) {
      all.insert(all.end(), writes[i].begin(), writes[i].end());
    }
    return all;
  }
  bool Sent(uint8_t code, std::size_t mark = 0) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = mark; i < writes.size(); ++i) {
      if (!writes[i].empty() && writes[i][0] == code) return true;
    }
    return false;
  }

  FtStatus Open(uint32_t index, FtHandle* handle) override { return inner_->Open(index, handle); }
  FtStatus Close(FtHandle handle) override { return inner_->Close(handle); }
  FtStatus Read(FtHandle h, void* buffer, uint32_t count, uint32_t* read) override {
    if (beforeRead) beforeRead();
    return inner_->Read(h, buffer, count, read);
  }
  FtStatus Write(FtHandle h, const void* buffer, uint32_t count, uint32_t* written) override {
    const FtStatus status = inner_->Write(h, buffer, count, written);
    if (status == ftstatus::kOk) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      std::lock_guard lock(mutex_);
      writes.emplace_back(bytes, bytes + count);
    }
    return status;
  }
  FtStatus ResetDevice(FtHandle h) override { return inner_->ResetDevice(h); }
  FtStatus Purge(FtHandle h, uint32_t mask) override {
    {
      std::lock_guard lock(mutex_);
      purges.push_back(mask);
    }
    return inner_->Purge(h, mask);
  }
  FtStatus SetTimeouts(FtHandle h, uint32_t r, uint32_t w) override {
    return inner_->SetTimeouts(h, r, w);
  }
  FtStatus GetQueueStatus(FtHandle h, uint32_t* rx) override {
    return inner_->GetQueueStatus(h, rx);
  }
  FtStatus SetEventNotification(FtHandle h, uint32_t mask, void* p) override {
    return inner_->SetEventNotification(h, mask, p);
  }
  FtStatus GetStatus(FtHandle h, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
    return inner_->GetStatus(h, rx, tx, ev);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<D2xxBackend> inner_;
};

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
    // The start-up handshake has ended when OnInitDialog returns.
    window->OnInitDialog();
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
  void WaitForLink() { window->WaitForLink(); }

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

  QWidget* W(int id) const { return window->Control(id); }
  QAbstractButton* B(int id) const { return window->ControlAs<QAbstractButton>(id); }
  QSlider* S(int id) const { return window->ControlAs<QSlider>(id); }
  QComboBox* L(int id) const { return window->ControlAs<QComboBox>(id); }
  QString RateText() const { return window->ControlAs<QLineEdit>(ui::IDC_RATE_EDIT)->text(); }
  void Click(int id) {
    QTest::mouseClick(W(id), Qt::LeftButton);
    Settle();
  }

  // Writes a recording of n frames (one a second) and returns its path.
  std::string WriteRecording(uint32_t frames, const std::string& name = "rec.bfk");
  std::filesystem::path TempDir();

  std::filesystem::path tempDir_;
};

}  // namespace bf::test
