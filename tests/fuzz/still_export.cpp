// "Сохранить" over a fuzzed recording, as the window runs it: the recording is opened by the
// player, a frame chosen by the input is shown (or none), and the still is exported to a name
// chosen by the input into a scratch folder. Byte 0 of the input steers, the rest is the file:
//   bits 0..1  target: "still.jpg", "still" (gets ".jpg"), a missing folder, an existing folder
//   bits 2..5  frame to show
//   bit 6      show nothing (export right after opening)
// A written still must be exactly table entry + payload present + header of the shown entry; a
// failed one must leave one error box and no file; no frame shown means a box and no dialog.
#include <unistd.h>

#include <cerrno>
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
#include "support/MissingFolderText.h"
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

// A private folder for the files of one process, removed when it exits.
struct ScratchDir {
  fs::path path = fs::temp_directory_path() / ("bf-fuzz-export-" + std::to_string(::getpid()));
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

class NullDisplay final : public bf::FrameDisplay {
 public:
  bool ShowFrame(const bf::FrameHeader& header, std::span<const uint8_t> payload) override {
    Require(bf::IsFrameHeader(header) && payload.size() <= bf::PayloadLength(header));
    return true;
  }
  void ClearDisplay() override {}
  void PostPosition(uint32_t) override {}
};

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// The still as it must come out for an index entry of the recording bytes. The header is the
// entry's copy: a header cut short by the end of the file counts as padded with zeros.
std::vector<uint8_t> ExpectedStill(std::span<const uint8_t> entry, std::span<const uint8_t> file,
                                   const bf::FrameIndexEntry& frame) {
  const std::size_t begin =
      static_cast<std::size_t>(std::min<uint64_t>(frame.PayloadOffset(), file.size()));
  const std::size_t end =
      std::min<std::size_t>(begin + bf::PayloadLength(frame.header), file.size());
  std::vector<uint8_t> still(entry.begin(), entry.end());
  still.insert(still.end(), file.begin() + static_cast<std::ptrdiff_t>(begin),
               file.begin() + static_cast<std::ptrdiff_t>(end));
  still.insert(still.end(), frame.header.bytes.begin(), frame.header.bytes.end());
  return still;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t steer = data[0];
  const std::span<const uint8_t> file(data + 1, size - 1);
  const fs::path dir = Scratch();
  const fs::path recordingPath = dir / "input.bfk";
  {
    std::ofstream out(recordingPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    Require(out.good());
  }
  const fs::path folderTarget = dir / "folder.jpg";
  fs::create_directories(folderTarget);
  const fs::path targets[] = {dir / "still.jpg", dir / "still", dir / "missing" / "still.jpg",
                              folderTarget};
  const fs::path& target = targets[steer & 3];
  const fs::path written = (steer & 3) == 1 ? dir / "still.jpg" : target;

  bf::VirtualClock clock;
  bf::VirtualPlaybackTimer timer(clock);
  NullDisplay display;
  bf::ScriptedPrompts prompts;
  bf::Player player(display, timer, prompts);
  const uint32_t count = player.OpenRecording(recordingPath.string());
  const bf::FrameIndex index = bf::BuildFrameIndex(file);
  Require(count == index.size());
  // An empty file cannot be mapped: the system error box, as for any file that will not open.
  Require(prompts.shown.size() == (file.empty() ? 1u : 0u));
  prompts.shown.clear();

  const uint32_t wanted = (steer >> 2) & 15;
  const bool show = (steer & 0x40) == 0 && wanted < count;
  if (show) Require(player.NavigateTo(wanted, bf::NAV_ABSOLUTE) == wanted);
  prompts.saveFiles.push_back(target.string());
  bf::ExportFrame(player, Table(), prompts);

  if (count == 0) {
    Require(prompts.shown.empty() && prompts.saveRequests.empty());
  } else if (!show) {
    Require(prompts.Texts() == std::vector<std::string>{bf::kNothingToExportText});
    Require(prompts.saveRequests.empty());
  } else {
    const bf::FrameHeader& header = index[wanted].header;
    const std::span<const uint8_t> entry =
        Table().SelectHeaderEntry(header.Compression(), header.Monochrome());
    if (entry.empty()) {
      Require(prompts.Texts() == std::vector<std::string>{bf::kUnknownCompressionText});
      Require(prompts.saveRequests.empty());
    } else if ((steer & 3) <= 1) {
      Require(prompts.shown.empty());
      Require(ReadAll(written) == ExpectedStill(entry, file, index[wanted]));
    } else if ((steer & 3) == 2) {
      Require(prompts.Texts() ==
              std::vector<std::string>{bf::test::MissingFolderText(target.string())});
      Require(!fs::exists(target.parent_path()));
    } else {
      Require(prompts.shown.size() == 1 && prompts.shown[0].icon == bf::MessageIcon::Error);
      Require(fs::is_directory(folderTarget) && fs::is_empty(folderTarget));
    }
  }
  // Nothing but the recording, the folder target and at most the one still may be left.
  std::size_t left = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    (void)e;
    ++left;
  }
  Require(left <= 3);
  std::error_code ec;
  fs::remove(dir / "still.jpg", ec);
  return 0;
}
