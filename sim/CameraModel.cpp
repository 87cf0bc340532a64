#include "sim/CameraModel.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "frames/FrameHeader.h"
#include "sim/FlashLayout.h"
#include "sim/Prefill.h"

namespace bf::sim {

namespace {

// Frames the camera keeps queued for a host that does not read; beyond this it skips frames,
// as a camera whose bridge buffer is full does.
constexpr uint64_t kStreamBacklogLimit = 1 << 20;

constexpr uint64_t kUsPerMs = 1000;

// The answer to CMD_ERASE_FLASH once the flash is erased.
constexpr uint8_t kEraseDone = 0x80;

uint32_t Le32(const uint8_t* p) {
  return p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint32_t HostClockNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

}  // namespace

CameraModel::CameraModel(const SimOptions& options, uint64_t nowMs)
    : options_(options),
      flash_(std::make_unique<SimFlash>(options.type)),
      maker_(options.size),
      parser_(options.type),
      random_(options.seed),
      clockBase_(options.clockFromHost ? HostClockNow() : options.clock),
      clockSetMs_(nowMs),
      notReadyLeft_(options.notReadyQueries),
      mute_(options.mute),
      dropReplyBytes_(options.dropReplyBytes),
      garbageBeforeFrame_(options.garbageBeforeFrame),
      garbageBytes_(options.garbageBytes) {
  settings_.compression = options.compression;
  settings_.monochrome = options.monochrome;
  settings_.frameRateIndex = options.frameRateIndex;
  settings_.motionDetector = options.motionDetector;
  SimOptions prefill = options_;
  prefill.clock = clockBase_;
  PrefillFlash(*flash_, prefill, maker_);
}

uint32_t CameraModel::ClockValue(uint64_t nowMs) const {
  return clockBase_ + static_cast<uint32_t>((nowMs - clockSetMs_) / 1000);
}

void CameraModel::SetGarbageBeforeFrame(uint32_t frame, uint32_t bytes) {
  garbageBeforeFrame_ = streamedFrames_ + frame;
  garbageBytes_ = bytes;
}

void CameraModel::InjectGarbage(std::size_t n) {
  std::vector<uint8_t> junk(n);
  for (auto& b : junk) b = static_cast<uint8_t>(random_() % 0xFF);  // never FF: no header start
  output_.PushBytes(std::move(junk));
}

void CameraModel::Reply(std::vector<uint8_t> bytes) {
  if (mute_) return;
  // Erased from the end rather than resized: the reply only ever shrinks here.
  const std::size_t dropped = std::min<std::size_t>(bytes.size(), dropReplyBytes_);
  bytes.erase(bytes.end() - static_cast<std::ptrdiff_t>(dropped), bytes.end());
  output_.PushBytes(std::move(bytes), replyReadyMs_);
}

void CameraModel::ReplyFlash(uint64_t address, uint64_t count) {
  if (mute_) return;
  count -= std::min<uint64_t>(count, dropReplyBytes_);
  const std::optional<uint64_t> unstable = options_.unstableByte;
  if (!unstable || *unstable < address || *unstable - address >= count) {
    output_.PushFlash(*flash_, address, count, replyReadyMs_);
    return;
  }
  // Up to the unstable byte, the byte with this read's bit flipped, then the rest: no two of
  // eight reads in a row bring it alike.
  const uint64_t before = *unstable - address;
  output_.PushFlash(*flash_, address, before, replyReadyMs_);
  uint8_t byte = 0;
  flash_->ReadPhysical(*unstable, &byte, 1);
  byte = static_cast<uint8_t>(byte ^ (1u << (unstableReads_++ % 8)));
  output_.PushBytes({byte}, replyReadyMs_);
  output_.PushFlash(*flash_, *unstable + 1, count - before - 1, replyReadyMs_);
}

void CameraModel::Receive(const uint8_t* data, std::size_t n, uint64_t nowMs) {
  Advance(nowMs);
  parser_.Feed(data, n, nowMs, [&](uint8_t code, const uint8_t* args, std::size_t count) {
    Execute(code, args, count, nowMs);
  });
}

std::vector<uint8_t> CameraModel::StatusRecord() {
  std::vector<uint8_t> s = {0xFF, 0xFE, 'J', 'P', 'E', 'G', 0, 0, 0, 0, 0, 0};
  s.push_back(settings_.compression);
  s.push_back(settings_.monochrome ? 1 : 0);
  s.push_back(settings_.frameRateIndex);
  uint8_t flags = settings_.motionDetector ? CameraStatus::kMotionDetectorOn : 0;
  if (notReadyLeft_ > 0) {
    --notReadyLeft_;
    flags |= CameraStatus::kStatusNotReady;
  }
  s.push_back(flags);
  return s;
}

void CameraModel::Execute(uint8_t code, const uint8_t* a, std::size_t, uint64_t nowMs) {
  // The camera takes its time before it answers a request (whole milliseconds of the clock).
  replyReadyMs_ = options_.latencyUs == 0 ? 0 : nowMs + (options_.latencyUs + 999) / 1000;
  ++commandCounts_[code];
  switch (code) {
    case CMD_SET_CLOCK:
      clockBase_ = Le32(a);
      clockSetMs_ = nowMs;
      break;
    case CMD_SET_FRAME_RATE:
      if (a[0] <= 7) settings_.frameRateIndex = a[0];
      break;
    case CMD_GET_CLOCK: {
      const uint32_t v = ClockValue(nowMs);
      Reply({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
             static_cast<uint8_t>(v >> 24)});
      break;
    }
    case CMD_SET_MONOCHROME:
      settings_.monochrome = true;
      break;
    case CMD_SET_COLOUR:
      settings_.monochrome = false;
      break;
    case CMD_SET_COMPRESSION:
      if (a[0] <= 4) settings_.compression = a[0];
      break;
    case CMD_MOTION_DETECT_ON:
      settings_.motionDetector = true;
      break;
    case CMD_MOTION_DETECT_OFF:
      settings_.motionDetector = false;
      break;
    case CMD_START_STREAM:
      if (!streaming_) StartStream(nowMs);
      break;
    case CMD_GET_STATUS:
      Reply(StatusRecord());
      break;
    case CMD_AUTONOMOUS_OFF:
      autonomous_ = false;
      break;
    case CMD_AUTONOMOUS_ON:
      autonomous_ = true;
      break;
    case CMD_READ_FLASH: {
      const DeviceBytes range = RequestedDeviceBytes(options_.type, a);
      if (range.count > 0) ReplyFlash(range.first, range.count);
      break;
    }
    case CMD_SET_SENSITIVITY:
      if (a[0] <= 5) sensitivity_ = a[0];
      break;
    case CMD_GET_FLASH_POINTER:
      Reply(flash_->PointerReply());
      break;
    case CMD_ERASE_FLASH:
      erasing_ = true;
      eraseDoneMs_ = nowMs + options_.eraseMs;
      break;
    case CMD_LEDS_OFF:
      ledsOn_ = false;
      break;
    case CMD_LEDS_ON:
      ledsOn_ = true;
      break;
    case CMD_EXT_RECORDING_ON:
      externalRecording_ = true;
      break;
    case CMD_EXT_RECORDING_OFF:
      externalRecording_ = false;
      break;
    case CMD_GET_CAMERA_TYPE:
      Reply({options_.typeReply.value_or(static_cast<uint8_t>(options_.type))});
      break;
    case CMD_GET_WRAP_FLAG:
      Reply({flash_->WrapFlagReply()});
      break;
    case CMD_TEST:
      break;  // a self-test with nothing to report
    case CMD_STOP_STREAM:
      streaming_ = false;  // what is already queued stays for the host to drain
      break;
    default:
      break;  // unknown codes, 24 among them, are ignored
  }
}

void CameraModel::StartStream(uint64_t nowMs) {
  streaming_ = true;
  streamStartUs_ = nowMs * kUsPerMs;
  nextFrameUs_ = streamStartUs_;  // the first picture is taken at once
}

uint64_t CameraModel::FrameIntervalUs() const {
  static constexpr uint64_t kIntervals[7] = {10'000'000, 5'000'000, 2'000'000, 1'000'000,
                                             500'000,    333'333,   250'000};
  const uint8_t index = settings_.frameRateIndex;
  uint64_t interval = index < 7 ? kIntervals[index] : 1'000'000 / std::max(1u, options_.maxFps);
  // With the motion detector on, a frame comes only when the scene changes.
  if (settings_.motionDetector) {
    interval = std::max<uint64_t>(interval, uint64_t{options_.motionIntervalMs} * kUsPerMs);
  }
  return interval;
}

void CameraModel::ProduceFrame(uint64_t atUs) {
  const uint64_t atMs = atUs / kUsPerMs;
  const auto sceneMs = static_cast<uint32_t>((atUs - streamStartUs_) / kUsPerMs);
  if (autonomous_) {
    const auto record = maker_.MakeRecord(frameNumber_++, sceneMs, ClockValue(atMs), settings_,
                                          flash_->AlignsRecordsToSectors());
    flash_->Append(record.data(), record.size());
    return;
  }
  if (mute_) return;
  if (output_.Size() >= kStreamBacklogLimit) return;  // nobody reads: the frame is lost
  ++streamedFrames_;
  if (garbageBeforeFrame_ != 0 && streamedFrames_ == garbageBeforeFrame_) {
    InjectGarbage(garbageBytes_);
  }
  auto record = maker_.MakeRecord(frameNumber_++, sceneMs, ClockValue(atMs), settings_);
  if (keepStreamed_) streamed_.push_back(record);
  output_.PushBytes(std::move(record));
}

void CameraModel::Advance(uint64_t nowMs) {
  output_.Release(nowMs);
  if (erasing_ && nowMs >= eraseDoneMs_) {
    erasing_ = false;
    // A camera that reports a failed erase keeps what it had recorded.
    if (options_.eraseReply == kEraseDone) flash_->Erase();
    replyReadyMs_ = 0;
    Reply({options_.eraseReply});
  }
  const uint64_t nowUs = nowMs * kUsPerMs;
  while (streaming_ && nextFrameUs_ <= nowUs) {
    const uint64_t interval = FrameIntervalUs();
    if (!autonomous_ && output_.Size() >= kStreamBacklogLimit) {
      // Skip the frames a full buffer could not take, without drawing them.
      nextFrameUs_ += (nowUs - nextFrameUs_) / interval * interval + interval;
      break;
    }
    ProduceFrame(nextFrameUs_);
    nextFrameUs_ += interval;
  }
}

uint64_t CameraModel::NextEventMs() const {
  uint64_t next = std::numeric_limits<uint64_t>::max();
  if (erasing_) next = eraseDoneMs_;
  next = std::min(next, output_.NextReadyMs());
  if (streaming_) next = std::min(next, (nextFrameUs_ + kUsPerMs - 1) / kUsPerMs);
  return next;
}

}  // namespace bf::sim
