#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/UserPrompts.h"
#include "recordings/FrameDisplay.h"
#include "recordings/PlaybackTimer.h"
#include "recordings/Recording.h"

namespace bf {

enum NavMode : uint32_t { NAV_ABSOLUTE = 0, NAV_RELATIVE = 1, NAV_FROM_END = 2 };

// NavigateTo's answer when there is no such frame.
inline constexpr uint32_t kNoFrame = 0xFFFFFFFF;

// Steps computing a frame delay above this (in ms) hold the frame for kLongGapDelayMs instead.
inline constexpr uint32_t kLongGapLimitMs = 20000;
inline constexpr uint32_t kLongGapDelayMs = 22222;

inline constexpr const char* kNoPreciseTimerText =
    "Ваша операционная система не поддерживает точных таймеров.\nКак такое может быть???";
inline constexpr const char* kNoPreciseTimerCaption = "Фатальная ошибка!";
// Told once per open recording when a frame can no longer be read as indexed.
inline constexpr const char* kRecordingChangedText = "Файл записи изменился на диске.";

// The recording player: the open recording with its frame index, the position, and playback
// paced by a precise one-shot timer, either by the recorded timestamps (frames of one second
// spread over that second) or at a fixed rate of 1..20 frames per second.
//
// Threads. Playback steps run on the timer's thread; everything else (navigation, the rate
// message, Play/Stop, opening and closing, export, painting) on the GUI thread. ONE mutex
// guards all player state, the recording and the display: every public operation takes it, a
// step holds it from start to end, and the display is called only under it. The GUI's paint
// must take it too (WithLock), so a step never overlaps a paint. The position is posted from a
// step (FrameDisplay::PostPosition), never sent. Message boxes are shown with the lock released
// (a modal box pumps events and a nested paint takes the lock). Public members must not be
// called from inside FrameDisplay callbacks or WithLock (the mutex is not recursive).
//
// Frames are read from the file when shown. When the file no longer holds a frame as indexed
// (another program cut it short or wrote over it), the display is cleared instead, a running
// playback stops, and the change is kept for the GUI thread to tell (TakeFileChangeNotice):
// the timer thread never shows a message box.
class Player {
 public:
  Player(FrameDisplay& display, PlaybackTimer& timer, UserPrompts& prompts);
  // Stops playback and waits out a step in progress before the state goes away.
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Stops a running playback first (then calls the stopped callback so the window applies the
  // Stop button's effects), resets position, group and delay, closes the open recording, opens
  // and indexes the file under the wait cursor. A file that cannot be opened gets the
  // system error box. Returns the frame count; 0 leaves no recording open.
  uint32_t OpenRecording(const std::string& path);
  void CloseRecording();
  void SetStoppedForOpenCallback(std::function<void()> callback);

  // Shows frame `value` (absolute), position + value (relative, unsigned wrap: -1 steps back) or
  // count - value - 1 (from the end); any other mode re-shows the current position. Returns the
  // index shown, or kNoFrame with nothing changed when there is no such frame.
  uint32_t NavigateTo(uint32_t value, uint32_t mode);
  // rate 0: like original; else a fixed rate (the caller keeps it within 1..20). Shows the first
  // frame at once. Returns 0 when refused (no frames, at the end, already playing) or when the
  // timer is unavailable (after its error box; playing then stays set until Stop); otherwise
  // the new position.
  uint32_t StartPlayback(uint32_t rate);
  void StopPlayback();
  // The rate message: a rate switches to fixed-rate mode, 0 to like-original mode; the pending
  // event keeps its delay.
  void SetRate(uint32_t rate);

  // The display's clear step; also forgets which frame of the recording was shown.
  void ClearDisplay();
  // A frame from outside the recording (the live view): shown under the lock, and from now on no
  // frame of the recording counts as on display.
  bool ShowExternalFrame(const FrameHeader& header, std::span<const uint8_t> payload);

  // Copy of the frame of this recording on display, for export: its header as stored and the
  // payload bytes present in the file, both from one index entry.
  struct ShownFrame {
    uint32_t entry = 0;
    FrameHeader header;
    std::vector<uint8_t> payload;
  };
  // FileChanged: the frame on display can no longer be read from the file; the display is
  // cleared and the change noted as for a show.
  enum class ShownState { NoRecording, NothingShown, Shown, FileChanged };
  ShownState CopyShownFrame(ShownFrame& out);

  // What happened since the last call because the open file changed on disk: `tell` once per
  // open recording, when a read first found the change; `stoppedRun` when that stopped a
  // running playback (the window then applies the Stop button's effects). GUI thread.
  struct FileChangeNotice {
    bool tell = false;
    bool stoppedRun = false;
  };
  FileChangeNotice TakeFileChangeNotice();

  // Runs f with the player's lock held (the GUI's paint of the shown picture and header).
  template <class F>
  decltype(auto) WithLock(F&& f) const {
    std::lock_guard lock(mutex_);
    return f();
  }

  // Snapshots for the window and for tests.
  uint32_t Count() const;
  uint32_t Position() const;
  bool IsPlaying() const;
  bool LikeOriginal() const;
  uint32_t GroupSize() const;
  uint32_t GroupCounter() const;
  uint32_t FrameDelay() const;
  std::optional<uint32_t> ShownEntry() const;

 private:
  uint32_t CountLocked() const;
  // False when the frame could not be read (the display is cleared then).
  bool ShowEntryLocked(uint32_t i);
  void NoteFileChangedLocked();
  void PlayStepLocked();
  void StopPlaybackLocked();
  void ArmLocked(uint32_t delayMs);
  void PlaybackTick(TimerEventId fired);

  FrameDisplay& display_;
  PlaybackTimer& timer_;
  UserPrompts& prompts_;
  std::function<void()> stoppedForOpen_;

  mutable std::mutex mutex_;
  Recording recording_;
  uint32_t position_ = 0;
  bool playing_ = false;
  bool likeOriginal_ = true;
  uint32_t groupSize_ = 0;
  uint32_t groupCounter_ = 0;
  uint32_t frameDelay_ = 0;
  uint32_t resolution_ = 1;
  bool periodRaised_ = false;
  bool destroying_ = false;
  TimerEventId lastArmed_ = 0;
  TimerEventId lastFired_ = 0;
  std::vector<TimerEventId> outstanding_;  // armed and not yet fired or killed
  std::optional<uint32_t> shownEntry_;     // entry of this recording on display
  bool changeFound_ = false;               // a read of this recording found the file changed
  FileChangeNotice notice_;                // not yet taken by the GUI thread
};

}  // namespace bf
