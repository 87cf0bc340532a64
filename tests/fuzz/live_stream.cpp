// Feeds arbitrary bytes to the live capture loop as the camera's stream: every frame handed to
// the display must carry a valid header and exactly its announced payload length, the loop must
// end once the stream falls silent, and nothing may read outside a buffer (sanitizers).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "frames/HeaderGenerator.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"
#include "link/FTD2xx.h"
#include "live/LiveCapture.h"
#include "sim/VirtualClock.h"
#include "support/ButtonLiveHost.h"

namespace {

const bf::JpegHeaderTable& Table() {
  static const bf::JpegHeaderTable table = bf::GenerateHeaderTable(bf::PictureSize{16, 16});
  return table;
}

// A camera that has sent exactly these bytes and then nothing more. A read that finds too
// little waits out the 200 ms read timeout on the virtual clock.
class StreamBackend final : public bf::D2xxBackend {
 public:
  StreamBackend(std::span<const uint8_t> bytes, bf::VirtualClock& clock)
      : bytes_(bytes), clock_(clock) {}
  bf::FtStatus Open(uint32_t, bf::FtHandle* handle) override {
    *handle = this;
    return 0;
  }
  bf::FtStatus Close(bf::FtHandle) override { return 0; }
  bf::FtStatus Read(bf::FtHandle, void* buffer, uint32_t count, uint32_t* read) override {
    const std::size_t n = std::min<std::size_t>(count, bytes_.size() - pos_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + pos_, n);
    pos_ += n;
    if (n < count) clock_.Advance(200);
    *read = static_cast<uint32_t>(n);
    return 0;
  }
  bf::FtStatus Write(bf::FtHandle, const void*, uint32_t count, uint32_t* written) override {
    *written = count;
    return 0;
  }
  bf::FtStatus ResetDevice(bf::FtHandle) override { return 0; }
  bf::FtStatus Purge(bf::FtHandle, uint32_t mask) override {
    if ((mask & bf::kPurgeRx) != 0) pos_ = bytes_.size();
    return 0;
  }
  bf::FtStatus SetTimeouts(bf::FtHandle, uint32_t, uint32_t) override { return 0; }
  bf::FtStatus GetQueueStatus(bf::FtHandle, uint32_t* rx) override {
    *rx = static_cast<uint32_t>(bytes_.size() - pos_);
    return 0;
  }
  bf::FtStatus SetEventNotification(bf::FtHandle, uint32_t, void*) override { return 0; }
  bf::FtStatus GetStatus(bf::FtHandle, uint32_t* rx, uint32_t* tx, uint32_t* ev) override {
    *rx = static_cast<uint32_t>(bytes_.size() - pos_);
    *tx = 0;
    *ev = 0;
    return 0;
  }

 private:
  std::span<const uint8_t> bytes_;
  std::size_t pos_ = 0;
  bf::VirtualClock& clock_;
};

class Host final : public bf::ButtonLiveHost {
 public:
  Host() { pushed = true; }

  bool ShowFrame(const bf::FrameHeader& header, std::span<const uint8_t> payload) override {
    if (!bf::IsFrameHeader(header) || payload.size() != bf::PayloadLength(header)) std::abort();
    const std::vector<uint8_t> jpeg = bf::RebuildJpeg(Table(), header, payload);
    return bf::DecodeCheckJpeg(jpeg).ok;
  }
};

class QuietPrompts final : public bf::UserPrompts, public bf::RequestPoint {
 public:
  bf::MessageAnswer ShowMessage(const std::string&, const std::string&, bf::MessageIcon,
                                bf::MessageButtons) override {
    std::abort();  // the stream cannot make the link fail
  }
  std::optional<std::string> ChooseSaveFile(const bf::FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseOpenFile(const bf::FileDialogRequest&) override { return {}; }
  void TakeRequests() override {}
  void SetBusyCursor(bool) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bf::VirtualClock clock;
  auto backend = std::make_shared<StreamBackend>(std::span<const uint8_t>(data, size), clock);
  bf::FTDClass link(backend, clock);
  link.Open(0);
  Host host;
  host.state.frameTimeout = bf::kFrameTimeoutDetectorOff;
  QuietPrompts prompts;
  bf::LiveCapture capture(link, host, prompts, prompts, clock);
  capture.OnStartStopClicked();
  // Only a timeout or a bad header ends this view, and both leave it idle.
  if (host.state.streamingFlag != 0 || host.buttonState != bf::LiveViewState::Off) std::abort();
  return 0;
}
