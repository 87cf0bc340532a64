#include "recordings/Player.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "host/BusyCursor.h"
#include "host/FileErrorText.h"

namespace bf {

Player::Player(FrameDisplay& display, PlaybackTimer& timer, UserPrompts& prompts)
    : display_(display), timer_(timer), prompts_(prompts) {}

Player::~Player() {
  std::vector<TimerEventId> pending;
  {
    std::lock_guard lock(mutex_);
    destroying_ = true;
    StopPlaybackLocked();
    pending.swap(outstanding_);
  }
  // Outside the lock: killing waits for a step that is running right now, and that step needs
  // the lock to find out it has nothing left to do.
  for (TimerEventId id : pending) timer_.KillEvent(id);
}

void Player::SetStoppedForOpenCallback(std::function<void()> callback) {
  stoppedForOpen_ = std::move(callback);
}

uint32_t Player::CountLocked() const {
  // Positions are 32-bit and kNoFrame is reserved.
  return static_cast<uint32_t>(
      std::min<std::size_t>(recording_.Count(), std::numeric_limits<uint32_t>::max() - 1));
}

uint32_t Player::OpenRecording(const std::string& path) {
  bool stopped = false;
  {
    std::lock_guard lock(mutex_);
    // A run must not go on over the new recording (and at a rate reset to 0).
    if (playing_) {
      StopPlaybackLocked();
      stopped = true;
    }
    position_ = 0;
    pacing_.groupSize = 0;
    pacing_.groupCounter = 0;
    pacing_.frameDelay = 0;
    recording_.Close();
    shownEntry_.reset();
    changeFound_ = false;
    notice_ = FileChangeNotice{};
  }
  if (stopped && stoppedForOpen_) stoppedForOpen_();

  // Open and index without the lock, so a paint is never held up by the scan.
  Recording fresh;
  Recording::OpenStatus status;
  {
    BusyCursorGuard busy(prompts_);
    status = fresh.Open(path);
  }
  if (status == Recording::OpenStatus::SystemError) {
    // The system's error box, naming the file it could not open.
    prompts_.ShowMessage(FileErrorTextForSystemCode(fresh.SystemError(), path), "Error",
                         MessageIcon::Information, MessageButtons::Ok);
    return 0;
  }
  if (status != Recording::OpenStatus::Opened) return 0;

  std::lock_guard lock(mutex_);
  recording_ = std::move(fresh);
  return CountLocked();
}

void Player::CloseRecording() {
  std::lock_guard lock(mutex_);
  recording_.Close();
  shownEntry_.reset();
  changeFound_ = false;
  notice_ = FileChangeNotice{};
}

bool Player::ShowEntryLocked(uint32_t i) {
  std::vector<uint8_t> payload;
  if (!recording_.ReadPayload(i, payload)) {
    display_.ClearDisplay();
    shownEntry_.reset();
    NoteFileChangedLocked();
    return false;
  }
  display_.ShowFrame(recording_.Index()[i].header, payload);
  shownEntry_ = i;
  return true;
}

void Player::NoteFileChangedLocked() {
  if (!changeFound_) {
    changeFound_ = true;
    notice_.tell = true;
  }
  if (playing_) {
    StopPlaybackLocked();
    notice_.stoppedRun = true;
  }
}

Player::FileChangeNotice Player::TakeFileChangeNotice() {
  std::lock_guard lock(mutex_);
  return std::exchange(notice_, FileChangeNotice{});
}

uint32_t Player::NavigateTo(uint32_t value, uint32_t mode) {
  std::lock_guard lock(mutex_);
  const uint32_t count = CountLocked();
  if (count == 0) return kNoFrame;
  uint32_t target = position_;
  switch (mode) {
    case NAV_ABSOLUTE:
      target = value;
      break;
    case NAV_RELATIVE:
      target = position_ + value;
      break;
    case NAV_FROM_END:
      target = count - value - 1;
      break;
    default:
      break;
  }
  if (target >= count) return kNoFrame;
  position_ = target;
  ShowEntryLocked(target);
  return target;
}

uint32_t Player::StartPlayback(uint32_t rate) {
  {
    std::lock_guard lock(mutex_);
    const uint32_t count = CountLocked();
    if (count == 0 || position_ >= count || playing_) return 0;
    playing_ = true;
    StartPacing(pacing_, rate);
    // The first step's own time counts against the first delay, as it does for every later step.
    const uint32_t t0 = timer_.TimeMs();
    PlayStepLocked();
    if (!playing_) return 0;  // the first frame was missing from the file: nothing to pace

    if (const std::optional<TimerCaps> caps = timer_.GetDevCaps()) {
      resolution_ = std::min(std::max(caps->periodMin, 1u), caps->periodMax);
      timer_.BeginPeriod(resolution_);
      periodRaised_ = true;
      // A run started at the last frame in like-original mode computes no delay; an event of
      // 0 ms would be refused and leave the run active with nothing to end it.
      const uint32_t elapsed = timer_.TimeMs() - t0;
      ArmLocked(pacing_.frameDelay > elapsed ? pacing_.frameDelay - elapsed : 1);
      return position_;
    }
  }
  prompts_.ShowMessage(kNoPreciseTimerText, kNoPreciseTimerCaption, MessageIcon::Error);
  return 0;
}

void Player::StopPlaybackLocked() {
  playing_ = false;
  if (periodRaised_) {
    timer_.EndPeriod(resolution_);
    periodRaised_ = false;
  }
}

void Player::StopPlayback() {
  std::lock_guard lock(mutex_);
  StopPlaybackLocked();
}

void Player::ArmLocked(uint32_t delayMs) {
  const TimerEventId id =
      timer_.SetEvent(delayMs, resolution_, [this](TimerEventId fired) { PlaybackTick(fired); });
  if (id == 0) {
    // Nothing would ever end the run: end it now.
    StopPlaybackLocked();
    return;
  }
  lastArmed_ = id;
  outstanding_.push_back(id);
}

void Player::PlayStepLocked() {
  const uint32_t i = position_;
  ShowEntryLocked(i);
  PaceStep(std::span(recording_.Index()).first(CountLocked()), i, pacing_);
  ++position_;
  display_.PostPosition(position_);
}

void Player::PlaybackTick(TimerEventId fired) {
  std::lock_guard lock(mutex_);
  // Events fire one at a time, so the event of the previous tick has returned by now; only the
  // one firing may still be running when the player is destroyed.
  std::erase_if(outstanding_, [&](TimerEventId id) { return id != fired && id == lastFired_; });
  lastFired_ = fired;
  if (destroying_) return;
  if (lastArmed_ != 0 && lastArmed_ != fired) {
    timer_.KillEvent(lastArmed_);
    std::erase(outstanding_, lastArmed_);
  }
  lastArmed_ = 0;
  const uint32_t t0 = timer_.TimeMs();
  if (!playing_ || position_ >= CountLocked()) {
    StopPlaybackLocked();
    return;
  }
  PlayStepLocked();
  if (!playing_) return;  // the frame was missing from the file: the run ended there
  const uint32_t elapsed = timer_.TimeMs() - t0;
  ArmLocked(pacing_.frameDelay > elapsed ? pacing_.frameDelay - elapsed : 1);
}

void Player::SetRate(uint32_t rate) {
  std::lock_guard lock(mutex_);
  if (rate != 0) {
    pacing_.groupSize = rate;
    pacing_.likeOriginal = false;
  } else {
    pacing_.likeOriginal = true;
  }
}

void Player::ClearDisplay() {
  std::lock_guard lock(mutex_);
  display_.ClearDisplay();
  shownEntry_.reset();
}

bool Player::ShowExternalFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  std::lock_guard lock(mutex_);
  shownEntry_.reset();
  return display_.ShowFrame(header, payload);
}

Player::ShownState Player::CopyShownFrame(ShownFrame& out) {
  std::lock_guard lock(mutex_);
  if (CountLocked() == 0) return ShownState::NoRecording;
  if (!shownEntry_ || *shownEntry_ >= CountLocked()) return ShownState::NothingShown;
  const uint32_t i = *shownEntry_;
  if (!recording_.ReadPayload(i, out.payload)) {
    display_.ClearDisplay();
    shownEntry_.reset();
    NoteFileChangedLocked();
    return ShownState::FileChanged;
  }
  out.entry = i;
  out.header = recording_.Index()[i].header;
  out.recordingPath = recording_.Path();
  return ShownState::Shown;
}

uint32_t Player::Count() const {
  return WithLock([this] { return CountLocked(); });
}
uint32_t Player::Position() const {
  return WithLock([this] { return position_; });
}
bool Player::IsPlaying() const {
  return WithLock([this] { return playing_; });
}
bool Player::LikeOriginal() const {
  return WithLock([this] { return pacing_.likeOriginal; });
}
uint32_t Player::GroupSize() const {
  return WithLock([this] { return pacing_.groupSize; });
}
uint32_t Player::GroupCounter() const {
  return WithLock([this] { return pacing_.groupCounter; });
}
uint32_t Player::FrameDelay() const {
  return WithLock([this] { return pacing_.frameDelay; });
}
std::optional<uint32_t> Player::ShownEntry() const {
  return WithLock([this] { return shownEntry_; });
}

}  // namespace bf
