#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "frames/FrameHeader.h"
#include "host/BusyCursor.h"
#include "host/RequestPoint.h"
#include "host/TickSource.h"
#include "host/UserPrompts.h"
#include "link/FTD2xx.h"
#include "live/LiveViewHost.h"

namespace bf {

// The Start/Stop button's handler and the live capture loop. Both run on the thread that owns the
// link (the link thread in the window). The loop runs inside the request that started it and,
// while it waits and after every frame, takes the requests that came meanwhile at its
// RequestPoint: a setting sent while frames stream in, or the second Start/Stop click, which runs
// OnStartStopClicked nested in the loop and so sends its stop command between two reads. The
// host and the prompts given are called on that same thread; nothing here is locked.
class LiveCapture {
 public:
  // Draining after a live view that ended by itself: chunks of this size, until a read brings
  // nothing or more than kDrainLimit bytes have been thrown away.
  static constexpr uint32_t kDrainChunk = 65536;
  static constexpr uint32_t kDrainLimit = 1'000'000;
  // Draining and resynchronising also end after this long: on a slow link the bytes in flight
  // would otherwise keep the program reading (and a closed window's process alive) for minutes.
  static constexpr uint32_t kDrainTimeLimitMs = 3000;

  LiveCapture(FTD2xx& link, LiveViewHost& host, UserPrompts& prompts, RequestPoint& requests,
              TickSource& ticks);

  // One click on Start/Stop (the button has already toggled its pushed state). Sends the start
  // or stop command by the state the button shows; a start click that is not autonomous runs the
  // live loop until the view ends, then drains and purges the link. A link failure is reported
  // here, once: when it was met by a click taken in the loop, the click that started the loop
  // neither drains nor purges and only returns the window to idle.
  void OnStartStopClicked();

  // True while the live loop runs (a click taken inside it sees this). Any thread.
  bool LoopRunning() const { return looping_.load(); }

  // A compression or colour change went to the camera: SettingsPending is set, and while a
  // live loop runs the busy cursor stays up until the loop sees the next header (or the view
  // ends). With no loop running nothing would end the cursor, so it is not shown.
  void MarkSettingsPending();

 private:
  // What the loop holds for its whole run.
  struct LoopState {
    std::array<uint8_t, kFrameHeaderSize> header{};
    // The busy cursor while a setting change waits for its header; it ends with the loop on
    // every way out, a link failure included.
    std::optional<BusyCursorGuard> pendingCursor;
    uint32_t lastPoll = 0;  // tick count of the last empty poll of this pass
  };

  void RunLoop();
  // Polls for a header until one arrives, the wait times out or the view is stopped; the
  // last two, and a header that does not arrive whole, leave bytes 0 and 1 of the header at
  // zero.
  void WaitForHeader(LoopState& loop, uint32_t start);
  // Takes the requests that came meanwhile; a setting change among them gets the busy cursor.
  void TakeRequests(LoopState& loop);
  void EndPendingSettings(LoopState& loop, uint32_t start);
  void ShowNextPayload(const LoopState& loop);
  void Resynchronise();
  void Drain();
  void RestoreIdleControls();

  FTD2xx& link_;
  LiveViewHost& host_;
  UserPrompts& prompts_;
  RequestPoint& requests_;
  TickSource& ticks_;
  std::atomic<bool> looping_{false};
  // Link failures reported by the clicks so far: a click whose loop ended because a nested
  // click met a failure does not touch the link again.
  uint64_t linkFailures_ = 0;
};

}  // namespace bf
