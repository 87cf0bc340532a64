#pragma once
// A headless live view: the simulated camera on a virtual clock behind the real link, a
// scripted main window and scripted prompts, plus a record of every D2XX call the loop makes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FTD2xx.h"
#include "live/LiveCapture.h"
#include "live/LiveViewHost.h"
#include "sim/SimCamera.h"
#include "support/ScriptedPrompts.h"

namespace bf::test {

// Forwards to the simulated camera and notes what the host asked of it.
class LinkCallLog final : public D2xxBackend {
 public:
  struct Call {
    std::string name;
    uint32_t arg = 0;     // count asked for, purge mask
    uint32_t result = 0;  // count read or written, queue count
    FtStatus status = ftstatus::kOk;
  };

  explicit LinkCallLog(std::shared_ptr<sim::SimCamera> camera) : camera_(std::move(camera)) {}

  std::vector<Call> calls;
  std::vector<uint8_t> written;

  FtStatus Open(uint32_t index, FtHandle* handle) override { return camera_->Open(index, handle); }
  FtStatus Close(FtHandle handle) override { return camera_->Close(handle); }
  FtStatus Read(FtHandle handle, void* buffer, uint32_t count, uint32_t* read) override {
    const FtStatus status = camera_->Read(handle, buffer, count, read);
    calls.push_back({"Read", count, read != nullptr ? *read : 0, status});
    return status;
  }
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t count, uint32_t* done) override {
    const FtStatus status = camera_->Write(handle, buffer, count, done);
    if (status == ftstatus::kOk) {
      const auto* bytes = static_cast<const uint8_t*>(buffer);
      written.insert(written.end(), bytes, bytes + count);
    }
    calls.push_back({"Write", count, done != nullptr ? *done : 0, status});
    return status;
  }
  FtStatus ResetDevice(FtHandle handle) override { return camera_->ResetDevice(handle); }
  FtStatus Purge(FtHandle handle, uint32_t mask) override {
    const FtStatus status = camera_->Purge(handle, mask);
    calls.push_back({"Purge", mask, 0, status});
    return status;
  }
  FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override {
    return camera_->SetTimeouts(handle, readMs, writeMs);
  }
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override {
    const FtStatus status = camera_->GetQueueStatus(handle, rxBytes);
    calls.push_back({"GetQueueStatus", 0, rxBytes != nullptr ? *rxBytes : 0, status});
    return status;
  }
  FtStatus SetEventNotification(FtHandle handle, uint32_t mask, void* parameter) override {
    return camera_->SetEventNotification(handle, mask, parameter);
  }
  FtStatus GetStatus(FtHandle handle, uint32_t* rx, uint32_t* tx, uint32_t* events) override {
    return camera_->GetStatus(handle, rx, tx, events);
  }

  int Count(const std::string& name) const {
    int n = 0;
    for (const Call& c : calls) n += c.name == name ? 1 : 0;
    return n;
  }
  // Index of the first call after `from` with this name, or -1.
  int Find(const std::string& name, std::size_t from = 0) const {
    for (std::size_t i = from; i < calls.size(); ++i) {
      if (calls[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }

 private:
  std::shared_ptr<sim::SimCamera> camera_;
};

// The main window as the live capture sees it: a push-like Start/Stop button, the
// "Автономно" check box, the eight controls locked during the live view and the display.
class ScriptedLiveHost final : public LiveViewHost {
 public:
  LiveState state;
  bool buttonPushed = false;
  bool autonomousChecked = false;
  LiveViewState buttonState = LiveViewState::Off;
  bool lockedEnabled = true;
  int lockCalls = 0;
  std::vector<FrameHeader> headers;
  std::vector<std::vector<uint8_t>> payloads;
  bool showResult = true;
  // Called after every ShowFrame, e.g. to stop a loop that never pumps.
  std::function<void()> onShow;
  int clears = 0;
  int invalidations = 0;

  LiveState& State() override { return state; }
  void ReadControls() override {
    state.streamingFlag = buttonPushed ? 1 : 0;
    state.autonomousFlag = autonomousChecked ? 1 : 0;
  }
  void WriteControls() override {
    buttonPushed = state.streamingFlag != 0;
    autonomousChecked = state.autonomousFlag != 0;
  }
  LiveViewState ButtonState() override { return buttonState; }
  void SetButtonState(LiveViewState shown) override { buttonState = shown; }
  void EnableLiveLockedControls(bool on) override {
    lockedEnabled = on;
    ++lockCalls;
  }
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override {
    headers.push_back(header);
    payloads.emplace_back(payload.begin(), payload.end());
    if (onShow) onShow();
    return showResult;
  }
  void ClearDisplay() override { ++clears; }
  void InvalidatePictureArea() override { ++invalidations; }
};

struct LiveRig {
  explicit LiveRig(sim::SimOptions options = Defaults())
      : camera(std::make_shared<sim::SimCamera>(options, clock)),
        backend(std::make_shared<LinkCallLog>(camera)),
        link(backend, clock),
        capture(link, host, prompts, prompts, clock) {
    link.Open(0);
    host.state.frameTimeout = kFrameTimeoutDetectorOff;
  }

  static sim::SimOptions Defaults() {
    sim::SimOptions options;
    options.frameRateIndex = 7;  // maximum rate: many frames per virtual second
    return options;
  }

  // The operator clicks Start/Stop: the button toggles, then its handler runs.
  void Click() {
    host.buttonPushed = !host.buttonPushed;
    capture.OnStartStopClicked();
  }

  VirtualClock clock;
  std::shared_ptr<sim::SimCamera> camera;
  std::shared_ptr<LinkCallLog> backend;
  FTDClass link;
  ScriptedLiveHost host;
  ScriptedPrompts prompts;
  LiveCapture capture;
};

}  // namespace bf::test
