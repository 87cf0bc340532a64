#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "flash/CameraKind.h"
#include "flash/CopySession.h"
#include "flash/FlashAddress.h"
#include "host/PostedCalls.h"
#include "sim/FrameMaker.h"
#include "sim/SimRig.h"
#include "support/ScriptedPrompts.h"
#include "support/TempFolder.h"

namespace bf::test {

// The copy dialog as a test drives it: the session runs on the test's thread, which stands for
// both the copying thread and the GUI thread; the ticks asked for are recorded (the test ticks
// by hand), the close request is counted.
class TestCopyHost final : public CopyDialogHost {
 public:
  void StartTicks(CopyClock clock) override {
    ticking = clock;
    tickStarts.push_back(clock);
  }
  void StopTicks() override {
    ticking.reset();
    ++tickStops;
  }
  void ShowProgress(const CopyDisplay& display) override { shown.push_back(display); }
  void CloseDialog(int result) override {
    ++closeCount;
    closedWith = result;
  }

  std::optional<CopyClock> ticking;  // while the ticks run
  std::vector<CopyClock> tickStarts;
  int tickStops = 0;
  std::vector<CopyDisplay> shown;
  int closeCount = 0;
  std::optional<int> closedWith;
};

// Records every chunk; can hold the copying thread at chunk k until the test let it go.
class ChunkLog final : public CopyProgressSink {
 public:
  void OnChunk(const CopyChunk& chunk) override {
    std::function<void()> hook;
    {
      std::lock_guard lock(mutex_);
      chunks_.push_back(chunk);
      if (chunks_.size() == onChunkAt_) hook = onChunk_;
    }
    if (hook) hook();
  }
  // Calls hook (on the copying thread) right after the k-th chunk.
  void At(std::size_t k, std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    onChunkAt_ = k;
    onChunk_ = std::move(hook);
  }
  std::vector<CopyChunk> Chunks() const {
    std::lock_guard lock(mutex_);
    return chunks_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<CopyChunk> chunks_;
  std::size_t onChunkAt_ = 0;
  std::function<void()> onChunk_;
};

// The type 2 range dialog, scripted: looks up the headers of the listed sectors, then answers
// with the given range (or declines).
class ScriptedChooser final : public RangeChooser {
 public:
  std::optional<SectorRange> ChooseRange(uint8_t pointerSector, bool wrapped,
                                         const SectorHeaderLookup& lookup) override {
    ++calls;
    seenPointerSector = pointerSector;
    seenWrap = wrapped;
    for (uint8_t sector : look) {
      const std::optional<FrameHeader> header = lookup(sector);
      answers.push_back({sector, header.has_value(), header.value_or(FrameHeader{})});
    }
    if (!range) return std::nullopt;
    return SectorRange{range->first, range->second};
  }
  struct Answer {
    uint8_t sector;
    bool found;
    FrameHeader header;
  };
  std::vector<uint8_t> look;
  std::optional<std::pair<uint8_t, uint8_t>> range;
  std::vector<Answer> answers;
  int calls = 0;
  uint8_t seenPointerSector = 0;
  bool seenWrap = false;
};

// Scripted prompts that can also act when the save dialog is shown (e.g. make the camera
// misbehave from then on, after the pointer and wrap flag were read).
class RigPrompts final : public ScriptedPrompts {
 public:
  std::function<void()> onSaveDialog;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    if (onSaveDialog) onSaveDialog();
    return ScriptedPrompts::ChooseSaveFile(request);
  }
};

using TempDir = TempFolder;

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return n;
}
#define EXPECT_SAME_BYTES(a, b)                                        \
  do {                                                                 \
    const auto& a_ = (a);                                              \
    const auto& b_ = (b);                                              \
    EXPECT_EQ(a_.size(), b_.size());                                   \
    EXPECT_EQ(FirstDifference(a_, b_), std::min(a_.size(), b_.size())) \
        << "first differing byte"; /* NOLINT */                        \
  } while (0)

// A simulated camera of one type with its flash laid out by the test, and the copy dialog's
// collaborators around one CopySession.
class CopyRig {
 public:
  explicit CopyRig(const sim::SimOptions& options) : rig(options), maker_(options.size) { Fresh(); }
  explicit CopyRig(CameraType type) : CopyRig(Options(type)) {}

  static sim::SimOptions Options(CameraType type) {
    sim::SimOptions o;
    o.type = type;
    return o;
  }

  sim::SimFlash& Flash() { return rig.camera->Model().Flash(); }

  // Frame records written back to back at a physical byte address; returns their count and the
  // address after the last. Type 0 records are sector aligned, as that camera stores them.
  uint64_t WriteFrames(uint64_t address, int count, uint32_t firstTimestamp = 1'245'000'000) {
    for (int i = 0; i < count; ++i) {
      sim::FrameSettings settings;
      const auto record =
          maker_.MakeRecord(frameNumber_, frameNumber_ * 250, firstTimestamp + frameNumber_,
                            settings, Flash().AlignsRecordsToSectors());
      ++frameNumber_;
      Flash().Store().Write(address, record.data(), record.size());
      address += record.size();
    }
    return address;
  }
  // Arbitrary bytes that are neither a header nor erased flash.
  void WriteFiller(uint64_t address, std::size_t n, uint8_t value = 0x55) {
    std::vector<uint8_t> bytes(n, value);
    Flash().Store().Write(address, bytes.data(), n);
  }

  // Sets the write pointer so that the camera reports `pointer` in its own form (type 0: the
  // next sector to be written, a data sector; type 1: packed; type 2: the last byte written).
  void SetPointer(uint32_t pointer, bool wrapped) {
    uint64_t position = 0;
    switch (Flash().Type()) {
      case CAMERA_SECTORS: {
        uint32_t ordinal = 0;
        EXPECT_TRUE(DataSectorOrdinal(pointer, &ordinal)) << pointer;
        position = uint64_t{ordinal} * kSectorSize;
        break;
      }
      case CAMERA_PACKED_PAGES:
        position = PackedToLinear(pointer);
        break;
      case CAMERA_NAND_PAGES:
        position = uint64_t{pointer} + 1;
        break;
    }
    Flash().SetWritePosition(position);
    Flash().SetWrapped(wrapped);
  }

  // The data sectors [first, end) as the camera holds them (wrapping the way the copy does).
  std::vector<uint8_t> SectorBytes(uint32_t first, uint32_t end) {
    std::vector<uint8_t> out;
    uint32_t count = CountDataSectors(first, end);
    uint32_t s = first;
    while (count > 0) {
      uint32_t run = 1;
      while (run < count && NextDataSector(s + run - 1) == s + run) ++run;
      const auto part = rig.camera->FlashBytes(uint64_t{s} * kSectorSize, run * kSectorSize);
      out.insert(out.end(), part.begin(), part.end());
      count -= run;
      s = NextDataSector(s + run - 1);
    }
    return out;
  }
  // Linear bytes [first, last].
  std::vector<uint8_t> LinearBytes(uint64_t first, uint64_t last) {
    return rig.camera->FlashBytes(first, last - first + 1);
  }

  // A new session; the prompts answer the save dialog with `file` (nothing: cancelled).
  // A new host, chunk log and prompts for the next session (the old session goes first).
  void Fresh() {
    session.reset();
    host = std::make_unique<TestCopyHost>();
    log = std::make_unique<ChunkLog>();
    prompts.shown.clear();
    prompts.saveRequests.clear();
    prompts.pumps = 0;
    prompts.onPump = nullptr;
    prompts.onSaveDialog = nullptr;
  }

  CopySession& NewSession(std::optional<std::string> file) {
    session.reset();
    prompts.saveFiles.clear();
    prompts.saveFiles.push_back(std::move(file));
    CopyServices services{rig.link,  prompts,    *host,           chooser,
                          log.get(), makeOutput, readCameraClock, verify};
    services.plan = plan ? &*plan : nullptr;
    services.offerResume = offerResume;
    services.requests = &prompts;
    session = std::make_unique<CopySession>(services);
    return *session;
  }

  // The whole copy on this thread; the summary of the session.
  CopySummary Run(std::optional<std::string> file) {
    CopySession& s = NewSession(std::move(file));
    s.Run();
    EXPECT_EQ(host->closeCount, 1);
    EXPECT_FALSE(host->ticking.has_value()) << "ticks left running";
    return s.Summary();
  }

  SimRig rig;
  TempDir dir;
  RigPrompts prompts;
  ScriptedChooser chooser;
  std::unique_ptr<TestCopyHost> host;
  std::unique_ptr<ChunkLog> log;
  CopyOutputFactory makeOutput;
  bool readCameraClock = false;
  bool verify = false;
  std::optional<CopyPlan> plan;  // repeats a record's copy
  bool offerResume = false;
  std::unique_ptr<CopySession> session;  // last: it borrows everything above

 private:
  sim::FrameMaker maker_;
  uint32_t frameNumber_ = 0;
};

// One small copy per camera type, its flash laid out the same way every time: the fault
// sweeps over this layout and the copy matrix count their calls from it.
// Type 2 copies from its first frame (address 1,000) up to and including the pointer.
inline constexpr uint64_t kSmallNandFirst = 1'000;
inline constexpr uint64_t kSmallNandLast = kNandSectorBytes + 1'200'000;
inline void PrepareSmallCopy(CopyRig& r, CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      r.WriteFrames(uint64_t{192} * kSectorSize, 3);
      r.SetPointer(192 + 300, false);
      break;
    case CAMERA_PACKED_PAGES:
      r.WriteFrames(0, 3);
      r.SetPointer(MakePackedAddress(600, 7), false);
      break;
    case CAMERA_NAND_PAGES:
      r.WriteFrames(kSmallNandFirst, 3);
      r.SetPointer(static_cast<uint32_t>(kSmallNandLast), false);
      r.chooser.look = {0, 1};
      r.chooser.range = {{0, 1}};
      break;
  }
}

// What an unbroken copy of PrepareSmallCopy's layout holds, and where byte 0 of it lies in the
// flash (as SimCamera::FlashBytes counts addresses).
inline uint64_t SmallCopyFlashStart(CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      return uint64_t{kFirstDataSector} * kSectorSize;
    case CAMERA_PACKED_PAGES:
      return 0;
    case CAMERA_NAND_PAGES:
      return kSmallNandFirst;
  }
  return 0;
}
inline std::vector<uint8_t> SmallCopyBytes(CopyRig& r, CameraType type) {
  switch (type) {
    case CAMERA_SECTORS:
      return r.SectorBytes(192, 192 + 300);
    case CAMERA_PACKED_PAGES:
      return r.LinearBytes(0, PackedToLinear(MakePackedAddress(600, 7)) - 1);
    case CAMERA_NAND_PAGES:
      return r.LinearBytes(kSmallNandFirst, kSmallNandLast);
  }
  return {};
}
// The length of every whole chunk but the last of that type's copy.
inline uint64_t CopyChunkBytes(CameraType type) {
  return type == CAMERA_SECTORS ? 124 * kSectorSize : 524'289;
}

}  // namespace bf::test
