// The main window noticing a bridge plugged in after start-up, or pulled during camera work.
#include <algorithm>
#include <atomic>

#include "MainWindowFixture.h"
#include "link/CameraCommands.h"
#include "link/StatusText.h"

namespace bf::test {
namespace {

using namespace bf::ui;

// Stands for the bus: the camera behind it can be pulled (every call then fails as the
// library fails for a vanished device) and plugged in again.
class PluggableBackend final : public D2xxBackend {
 public:
  void Plug(std::shared_ptr<D2xxBackend> camera) { inner_ = std::move(camera); }
  void Pull() { inner_ = MakeFailingBackend(ftstatus::kDeviceNotFound); }

  FtStatus Open(uint32_t index, FtHandle* handle) override { return inner_->Open(index, handle); }
  FtStatus Close(FtHandle handle) override { return inner_->Close(handle); }
  FtStatus Read(FtHandle h, void* buffer, uint32_t count, uint32_t* read) override {
    return inner_->Read(h, buffer, count, read);
  }
  FtStatus Write(FtHandle h, const void* buffer, uint32_t count, uint32_t* written) override {
    return inner_->Write(h, buffer, count, written);
  }
  FtStatus ResetDevice(FtHandle h) override { return inner_->ResetDevice(h); }
  FtStatus Purge(FtHandle h, uint32_t mask) override { return inner_->Purge(h, mask); }
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
  std::shared_ptr<D2xxBackend> inner_ = MakeFailingBackend(ftstatus::kDeviceNotFound);
};

class MainWindowPlug : public MainWindowTest {
 protected:
  std::shared_ptr<PluggableBackend> bus = std::make_shared<PluggableBackend>();
  bool present = false;
  int probes = 0;
  // Set on the GUI thread; the link thread pulls the camera right before its next read, so the
  // unplug hits a read of whatever runs there (the live loop) and never another call.
  std::atomic<bool> pullBeforeNextRead{false};

  void StartWatched() {
    backend = std::make_shared<RecordingBackend>(bus);
    backend->beforeRead = [this] {
      if (pullBeforeNextRead.exchange(false)) bus->Pull();
    };
    window = std::make_unique<CBrindleFlashDlg>(MainWindowServices{
        prompts, settings, backend, clock, headers, timer, "", quietTimers.Factory()});
    window->WatchForPlugging([this] {
      ++probes;
      return present;
    });
    window->OnInitDialog();
    while (!window->LinkIdle()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    window->show();
  }
  void PlugCamera() {
    camera = std::make_shared<sim::SimCamera>(options, clock);
    bus->Plug(camera);
    present = true;
  }
  // One tick of the window's watch, a period after the last.
  void Tick() {
    clock.Advance(1000);
    window->OnPlugPoll();
    Settle();
  }
  bool CameraControlsOn() const { return W(IDC_START_STOP)->isEnabled(); }
};

TEST_F(MainWindowPlug, BridgePluggedInAfterStartUpBringsTheCameraControlsOn) {
  StartWatched();
  ASSERT_EQ(prompts.shown.size(), 1u);  // "Устройство не найдено" at start-up
  EXPECT_FALSE(CameraControlsOn());
  Tick();
  Tick();
  EXPECT_FALSE(CameraControlsOn());
  EXPECT_EQ(prompts.shown.size(), 1u);

  options.compression = 3;
  PlugCamera();
  const std::size_t mark = backend->writes.size();
  Tick();
  EXPECT_TRUE(CameraControlsOn());
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(S(IDC_COMPRESSION)->value(), 3);
  EXPECT_TRUE(backend->Sent(CMD_GET_STATUS, mark));
  EXPECT_TRUE(backend->Sent(CMD_AUTONOMOUS_OFF, mark));

  // With the camera there the bus is left alone, and nothing more is sent.
  const int probesAfter = probes;
  const std::size_t writesAfter = backend->writes.size();
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(probes, probesAfter);
  EXPECT_EQ(backend->writes.size(), writesAfter);
}

TEST_F(MainWindowPlug, UnplugDuringTheLiveViewIsReportedOnceAndReplugHandshakesAgain) {
  PlugCamera();
  StartWatched();
  ASSERT_TRUE(CameraControlsOn());
  ASSERT_TRUE(prompts.shown.empty());

  int probesWhileStreaming = -1;
  bool streamingWhenPulled = false;
  WhileLive([&](int round) {
    // The watch stays away from the link while the loop uses it.
    Tick();
    if (round == 3) {
      probesWhileStreaming = probes;
      streamingWhenPulled = window->OnlyLiveViewRuns();
      present = false;
      pullBeforeNextRead = true;
    }
    return false;
  });
  ASSERT_TRUE(streamingWhenPulled);
  EXPECT_EQ(probesWhileStreaming, 0);
  // The first call that failed is the live loop's read, as the bridge went away under it.
  const auto failed =
      std::find_if(backend->log.begin(), backend->log.end(),
                   [](const RecordingBackend::Call& c) { return c.status != ftstatus::kOk; });
  ASSERT_NE(failed, backend->log.end());
  EXPECT_EQ(failed->name, "read");
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, StatusText(window->Link().GetStatusCode()));
  EXPECT_EQ(StartStopCaption(), "Старт");

  Tick();
  EXPECT_FALSE(CameraControlsOn());
  EXPECT_TRUE(W(IDC_OPEN)->isEnabled());
  Tick();
  EXPECT_FALSE(CameraControlsOn());
  EXPECT_EQ(prompts.shown.size(), 1u);

  PlugCamera();
  const std::size_t mark = backend->writes.size();
  Tick();
  EXPECT_TRUE(CameraControlsOn());
  EXPECT_TRUE(backend->Sent(CMD_GET_STATUS, mark));
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(window->Link().GetStatusCode(), ftstatus::kOk);
}

TEST_F(MainWindowPlug, CameraThatDoesNotAnswerIsNotAskedAgainUntilReplugged) {
  options.mute = true;
  PlugCamera();
  StartWatched();
  ASSERT_EQ(prompts.shown.size(), 1u);  // "Перезапустите камеру"
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_FALSE(CameraControlsOn());
}

}  // namespace
}  // namespace bf::test
