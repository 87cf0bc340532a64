#include "live/LiveCapture.h"

#include <algorithm>
#include <vector>

#include "link/CameraCommands.h"

namespace bf {

namespace {

constexpr uint32_t kPurgeBoth = kPurgeRx | kPurgeTx;
constexpr auto kHeaderBytes = static_cast<uint32_t>(kFrameHeaderSize);

// Set on entry and cleared on every way out, exceptions included.
class LoopFlag {
 public:
  explicit LoopFlag(std::atomic<bool>& flag) : flag_(flag) { flag_.store(true); }
  ~LoopFlag() { flag_.store(false); }
  LoopFlag(const LoopFlag&) = delete;
  LoopFlag& operator=(const LoopFlag&) = delete;

 private:
  std::atomic<bool>& flag_;
};

}  // namespace

LiveCapture::LiveCapture(FTD2xx& link, LiveViewHost& host, UserPrompts& prompts,
                         RequestPoint& requests, TickSource& ticks)
    : link_(link), host_(host), prompts_(prompts), requests_(requests), ticks_(ticks) {}

void LiveCapture::OnStartStopClicked() {
  LiveState& state = host_.State();
  try {
    host_.ReadControls();
    if (host_.ButtonState() == LiveViewState::Off) {
      link_.WriteByte(CMD_START_STREAM);
      host_.SetButtonState(LiveViewState::Running);
    } else {
      link_.WriteByte(CMD_STOP_STREAM);
      host_.SetButtonState(LiveViewState::Off);
    }
    // In autonomous mode the camera records on its own; nothing is read here.
    if (state.autonomousFlag != 0) return;
    if (state.streamingFlag != 0) {
      // A Stop and a Start both taken inside the running loop: that loop goes on with the new
      // stream, rather than a second loop running inside the first.
      if (looping_.load()) return;
      host_.EnableLiveLockedControls(false);
      const uint64_t failuresBefore = linkFailures_;
      RunLoop();
      // A click taken inside the loop (the Stop click) may have met a dead link and said so
      // already; draining or purging that link would only fail again and say it twice.
      if (linkFailures_ == failuresBefore) {
        Drain();
        link_.Purge(kPurgeBoth);
      }
    }
    RestoreIdleControls();
  } catch (const FTDException& failure) {
    ++linkFailures_;
    prompts_.ShowMessage(failure.GetText(), "", MessageIcon::Error);
    state.streamingFlag = 0;
    host_.WriteControls();
    host_.SetButtonState(LiveViewState::Off);
    // The live view is over, so the controls it locked must come back; otherwise only a
    // restart of the program would unlock "Открыть..." and the rotation buttons.
    host_.EnableLiveLockedControls(true);
  }
}

void LiveCapture::RestoreIdleControls() {
  host_.ClearDisplay();
  host_.EnableLiveLockedControls(true);
  host_.InvalidatePictureArea();
}

void LiveCapture::MarkSettingsPending() {
  host_.State().settingsPending = 1;
  if (LoopRunning()) prompts_.SetBusyCursor(true);
}

void LiveCapture::RunLoop() {
  LoopFlag looping(looping_);
  LoopState loop;
  LiveState& state = host_.State();
  while (state.streamingFlag != 0) {
    const uint32_t start = ticks_.TickCount();
    loop.header[0] = 0;
    loop.header[1] = 0;
    WaitForHeader(loop, start);
    EndPendingSettings(loop, start);
    if (!IsFrameHeader(loop.header.data())) {
      Resynchronise();
      continue;  // the flag is clear now, so the loop ends here
    }
    ShowNextPayload(loop);
    // After every pass, whatever became of the frame: a stream that never decodes must not shut
    // out the Stop click and the settings.
    TakeRequests(loop);
  }
}

void LiveCapture::TakeRequests(LoopState& loop) {
  requests_.TakeRequests();
  // A request taken just now may have made a setting change: the busy cursor stays up until its
  // header comes.
  if (host_.State().settingsPending != 0 && !loop.pendingCursor)
    loop.pendingCursor.emplace(prompts_);
}

void LiveCapture::WaitForHeader(LoopState& loop, uint32_t start) {
  LiveState& state = host_.State();
  loop.lastPoll = start;
  uint32_t got = link_.Read(loop.header.data(), kHeaderBytes);
  while (got == 0) {
    // Unsigned: with the detector on the timeout is 0xFFFFFFFF and never reached.
    if (loop.lastPoll - start >= state.frameTimeout) return;
    loop.lastPoll = ticks_.TickCount();
    TakeRequests(loop);
    host_.ReadControls();
    if (state.streamingFlag == 0) return;
    got = link_.Read(loop.header.data(), kHeaderBytes);
  }
  got = link_.FinishPartialRead(loop.header.data(), kHeaderBytes, got);
  // A header that stays short would have its tail from the previous frame: taken as bad, so
  // the view resynchronises instead of showing a picture cut from the wrong bytes.
  if (got < kHeaderBytes) {
    loop.header[0] = 0;
    loop.header[1] = 0;
  }
}

void LiveCapture::EndPendingSettings(LoopState& loop, uint32_t start) {
  LiveState& state = host_.State();
  // A header after at least one empty poll comes from the camera's new settings.
  if (state.settingsPending != 0 && loop.lastPoll != start) {
    if (loop.pendingCursor) {
      loop.pendingCursor.reset();
    } else {
      prompts_.SetBusyCursor(false);
    }
    state.settingsPending = 0;
  }
}

void LiveCapture::ShowNextPayload(const LoopState& loop) {
  const FrameHeader header = FrameHeader::FromBytes(loop.header.data());
  const uint16_t length = PayloadLength(header);
  // Zero-filled: a payload that arrives only in part is still handed over with its full
  // length, and its missing tail must be defined bytes.
  std::vector<uint8_t> payload(length);
  if (link_.ReadWithTimeout(payload.data(), length) == 0) return;
  host_.ShowFrame(header, payload);
}

void LiveCapture::Resynchronise() {
  host_.State().streamingFlag = 0;
  host_.SetButtonState(LiveViewState::Off);
  host_.WriteControls();
  // The camera was not told to stop, so on a slow link the queue may never be found empty.
  // The queue count is the device's word: a count of gigabytes (a confused bridge, a bad
  // driver) must not become an allocation of that size, so it is thrown away in pieces.
  std::vector<uint8_t> discard;
  const uint32_t begun = ticks_.TickCount();
  while (ticks_.TickCount() - begun < kDrainTimeLimitMs) {
    const uint32_t waiting = link_.GetQueueStatus();
    if (waiting == 0) return;
    const uint32_t piece = std::min(waiting, kDrainChunk);
    discard.resize(piece);
    link_.ReadWithTimeout(discard.data(), piece);
  }
}

void LiveCapture::Drain() {
  // Reads as ReadWithTimeout does (until no byte has come for the inactivity time), one device
  // read at a time so that the time limit holds however slowly the bytes come.
  std::vector<uint8_t> discard(kDrainChunk);
  const uint32_t begun = ticks_.TickCount();
  uint32_t lastByte = begun;
  uint32_t total = 0;
  for (;;) {
    const uint32_t got = link_.Read(discard.data(), kDrainChunk);
    const uint32_t now = ticks_.TickCount();
    total += got;
    if (total > kDrainLimit) return;
    if (got > 0) {
      lastByte = now;
    } else if (now - lastByte > FTD2xx::kInactivityMs) {
      return;
    }
    if (now - begun >= kDrainTimeLimitMs) return;
  }
}

}  // namespace bf
