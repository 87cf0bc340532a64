// The player driven by a fuzzed script over a fuzzed recording, on a virtual playback timer:
// navigation in every mode, Play at a rate or like the original, Stop, the rate message, time
// passing, export of the frame on display, clearing and reopening. Input: byte 0 gives the
// number of script bytes n (0..31), bytes 1..n are the script, the rest is the recording file.
// A script byte is an operation (low 3 bits) and its argument (high 5 bits).
//
// Checked against a model of the position: NavigateTo shows exactly the entry it returns and
// refuses anything outside the recording with nothing changed; Play is refused exactly when it
// must be; every frame shown is the index entry at the position it was shown for; no position
// posted passes the count; Stop ends the run and its last event finds nothing to do; an
// exported still is the shown entry's table entry, payload and header.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frames/HeaderGenerator.h"
#include "recordings/ExportFrame.h"
#include "recordings/FrameIndex.h"
#include "recordings/Player.h"
#include "sim/VirtualClock.h"
#include "sim/VirtualPlaybackTimer.h"
#include "support/ScriptedPrompts.h"

namespace {

namespace fs = std::filesystem;

const bf::JpegHeaderTable& Table() {
  static const bf::JpegHeaderTable table = bf::GenerateHeaderTable(bf::PictureSize{16, 16});
  return table;
}

void Require(bool condition) {
  if (!condition) std::abort();
}

struct ScratchDir {
  fs::path path = fs::temp_directory_path() / ("bf-fuzz-player-" + std::to_string(::getpid()));
  ScratchDir() { fs::create_directories(path); }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

const fs::path& Scratch() {
  static const ScratchDir dir;
  return dir.path;
}

// Checks every show against the index the harness built itself from the same bytes.
class CheckingDisplay final : public bf::FrameDisplay {
 public:
  explicit CheckingDisplay(const bf::FrameIndex& index) : index_(index) {}

  bool ShowFrame(const bf::FrameHeader& header, std::span<const uint8_t> payload) override {
    Require(bf::IsFrameHeader(header) && payload.size() <= bf::PayloadLength(header));
    lastHeader = header;
    lastPayloadSize = payload.size();
    ++shows;
    return true;
  }
  void ClearDisplay() override { ++clears; }
  void PostPosition(uint32_t position) override {
    Require(position >= 1 && position <= index_.size());
    // A step shows the entry at the position before the one it posts.
    Require(lastHeader.bytes == index_[position - 1].header.bytes);
    lastPosted = position;
  }

  bf::FrameHeader lastHeader;
  std::size_t lastPayloadSize = 0;
  uint32_t lastPosted = 0;
  int shows = 0;
  int clears = 0;

 private:
  const bf::FrameIndex& index_;
};

std::size_t PresentPayload(const bf::FrameIndexEntry& e, std::size_t fileSize) {
  const uint64_t begin = e.PayloadOffset();
  if (begin >= fileSize) return 0;
  return static_cast<std::size_t>(
      std::min<uint64_t>(bf::PayloadLength(e.header), fileSize - begin));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::size_t scriptLength = std::min<std::size_t>(data[0] & 31u, size - 1);
  const std::span<const uint8_t> script(data + 1, scriptLength);
  const std::span<const uint8_t> file(data + 1 + scriptLength, size - 1 - scriptLength);
  const fs::path recordingPath = Scratch() / "input.bfk";
  const fs::path stillPath = Scratch() / "still.jpg";
  {
    std::ofstream out(recordingPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    Require(out.good());
  }
  const bf::FrameIndex index = bf::BuildFrameIndex(file);

  bf::VirtualClock clock;
  bf::VirtualPlaybackTimer timer(clock);
  CheckingDisplay display(index);
  bf::ScriptedPrompts prompts;
  {
    bf::Player player(display, timer, prompts);
    uint32_t count = player.OpenRecording(recordingPath.string());
    Require(count == index.size());

    for (const uint8_t op : script) {
      const uint32_t arg = op >> 3;
      const uint32_t position = player.Position();
      const bool playing = player.IsPlaying();
      switch (op & 7) {
        case 0:  // navigation: absolute, relative +1 / -1, from the end
        case 1: {
          uint32_t value = arg;
          uint32_t mode = bf::NAV_ABSOLUTE;
          if ((op & 7) == 1) {
            mode = arg & 3;  // the fourth mode re-shows the current position
            value = mode == bf::NAV_RELATIVE ? ((arg & 4) != 0 ? 1u : bf::kNoFrame) : arg >> 2;
          }
          uint32_t target = position;
          if (mode == bf::NAV_ABSOLUTE) target = value;
          if (mode == bf::NAV_RELATIVE) target = position + value;
          if (mode == bf::NAV_FROM_END) target = count - value - 1;
          const int showsBefore = display.shows;
          const uint32_t shown = player.NavigateTo(value, mode);
          if (count > 0 && target < count) {
            Require(shown == target && player.Position() == target);
            Require(display.lastHeader.bytes == index[target].header.bytes);
            Require(display.lastPayloadSize == PresentPayload(index[target], file.size()));
            Require(player.ShownEntry() == target);
          } else {
            Require(shown == bf::kNoFrame && player.Position() == position);
            Require(display.shows == showsBefore);
          }
          break;
        }
        case 2: {  // Play, like the original (0) or at 1..20 frames per second
          const uint32_t rate = arg % 21;
          const uint32_t result = player.StartPlayback(rate);
          if (count == 0 || position >= count || playing) {
            Require(result == 0 && player.IsPlaying() == playing);
          } else {
            Require(result == position + 1 && player.Position() == result);
            Require(display.lastHeader.bytes == index[position].header.bytes);
          }
          break;
        }
        case 3:
          player.StopPlayback();
          Require(!player.IsPlaying());
          break;
        case 4:
          player.SetRate(arg % 21);
          Require(player.LikeOriginal() == (arg % 21 == 0));
          break;
        case 5:  // time passes: up to 31 s, beyond one 22.222 s long gap
          timer.RunFor(uint64_t{arg} * 1000);
          Require(player.Position() <= count);
          break;
        case 6: {  // "Сохранить" of whatever is on display
          std::error_code ec;
          fs::remove(stillPath, ec);
          prompts.shown.clear();
          prompts.saveFiles.push_back(stillPath.string());
          const std::optional<uint32_t> entry = player.ShownEntry();
          bf::ExportFrame(player, Table(), prompts);
          if (count > 0 && entry) {
            const bf::FrameIndexEntry& e = index[*entry];
            const auto tableEntry =
                Table().SelectHeaderEntry(e.header.Compression(), e.header.Monochrome());
            if (!tableEntry.empty()) {
              Require(prompts.shown.empty());
              Require(fs::file_size(stillPath) ==
                      tableEntry.size() + PresentPayload(e, file.size()) + bf::kFrameHeaderSize);
            }
          } else {
            Require(!fs::exists(stillPath));
          }
          break;
        }
        default:  // 7: clear the display, or reopen the recording
          if ((arg & 1) != 0) {
            player.ClearDisplay();
            Require(!player.ShownEntry());
          } else {
            count = player.OpenRecording(recordingPath.string());
            Require(count == index.size() && player.Position() == 0 && !player.IsPlaying());
          }
          break;
      }
    }

    player.StopPlayback();
    // The run's last event fires, finds the player stopped and arms nothing more.
    timer.RunAll();
    Require(timer.Pending() == 0);
    Require(timer.Begun().size() == timer.Ended().size());
    Require(display.lastPosted <= count);
  }
  return 0;
}
