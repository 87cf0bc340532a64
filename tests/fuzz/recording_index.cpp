// Indexes arbitrary bytes as a recording, then shows and exports every indexed frame: entries
// must lie within the file with increasing offsets, and nothing may be read outside it
// (the sanitizers catch any stray read).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "frames/HeaderGenerator.h"
#include "frames/RebuildJpeg.h"
#include "recordings/FrameIndex.h"
#include "recordings/Recording.h"
#include "recordings/StillFile.h"

namespace {

const bf::JpegHeaderTable& Table() {
  static const bf::JpegHeaderTable table = bf::GenerateHeaderTable(bf::PictureSize{16, 16});
  return table;
}

// A private folder for the files of one process, removed when it exits.
struct ScratchDir {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("bf-fuzz-recording-" + std::to_string(::getpid()));
  ScratchDir() { std::filesystem::create_directories(path); }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

std::string Scratch() {
  static const ScratchDir dir;
  return dir.path.string();
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The recording straight from memory.
  const std::span<const uint8_t> bytes(data, size);
  const bf::FrameIndex index = bf::BuildFrameIndex(bytes);
  uint64_t previous = 0;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const bf::FrameIndexEntry& e = index[i];
    Check(e.offset < size);
    Check(i == 0 || e.offset > previous);
    Check(bf::IsFrameHeader(e.header));
    previous = e.offset;
    const std::span<const uint8_t> payload = bf::PayloadPresent(e, bytes);
    Check(payload.empty() ||
          (payload.data() >= data && payload.data() + payload.size() <= data + size));
    const std::vector<uint8_t> jpeg = bf::RebuildJpeg(Table(), e.header, payload);
    Check(jpeg.empty() || jpeg.size() >= payload.size());
  }

  // The same through the file, exporting every frame as the window would.
  const std::string recordingPath = Scratch() + "/input.bfk";
  {
    std::ofstream out(recordingPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  bf::Recording recording;
  if (recording.Open(recordingPath) == bf::Recording::OpenStatus::Opened) {
    Check(recording.Count() == index.size());
    const std::string stillPath = Scratch() + "/still.jpg";
    for (std::size_t i = 0; i < recording.Count() && i < 64; ++i) {
      const bf::FrameHeader& h = recording.Index()[i].header;
      const std::span<const uint8_t> entry =
          Table().SelectHeaderEntry(h.Compression(), h.Monochrome());
      if (entry.empty()) continue;
      std::vector<uint8_t> payload;
      Check(recording.ReadPayload(i, payload));
      Check(payload.size() == bf::PayloadPresent(index[i], bytes).size());
      Check(bf::WriteStillFile(entry, h, payload, stillPath) == 0);
      Check(std::filesystem::file_size(stillPath) == entry.size() + payload.size() + 16);
    }
  } else {
    Check(index.empty());
  }
  return 0;
}
