// A fuzzed headers.dat followed by frame records. The first 6930 bytes are written out and
// loaded as the program loads its table file; every record after them is rebuilt against that
// table and decoded. A table that is taken must have each slot exactly its bytes of the file, a
// rebuilt frame must be exactly the chosen entry followed by the payload bytes present, and
// decoding must end in a picture or a refusal, never in a crash.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"
#include "frames/JpegInfo.h"
#include "frames/RebuildJpeg.h"

namespace {

constexpr std::size_t kTableSize = bf::JpegHeaderTable::kFileSize;
constexpr int kMaxRecordsDecoded = 3;

void Require(bool condition) {
  if (!condition) std::abort();
}

// One headers.dat per process, rewritten for every input and removed when the process exits.
struct ScratchTable {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("bf-fuzz-headers-" + std::to_string(::getpid()) + ".dat"))
                         .string();
  ~ScratchTable() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
};

const std::string& TablePath() {
  static const ScratchTable table;
  return table.path;
}

bool Equal(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// The slot contents must be the file's bytes at the documented offsets, and nothing else.
void CheckSlots(const bf::JpegHeaderTable& table, std::span<const uint8_t> file) {
  using T = bf::JpegHeaderTable;
  for (uint8_t k = 0; k < T::kLevels; ++k) {
    Require(Equal(table.SelectHeaderEntry(k, 1),
                  file.subspan(k * T::kMonochromeEntrySize, T::kMonochromeEntrySize)));
    Require(Equal(table.SelectHeaderEntry(k, 0xFF), table.SelectHeaderEntry(k, 1)));
    Require(
        Equal(table.SelectHeaderEntry(k, 0),
              file.subspan(T::kColourFileOffset + k * T::kColourEntrySize, T::kColourEntrySize)));
  }
  Require(table.SelectHeaderEntry(T::kLevels, 0).empty());
  Require(table.SelectHeaderEntry(0xFF, 1).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kTableSize) return 0;  // short files are the header_table target's business
  const std::span<const uint8_t> input(data, size);
  {
    std::ofstream out(TablePath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(kTableSize));
    Require(out.good());
  }
  bf::JpegHeaderTable table;
  const bf::TableLoadResult loaded = bf::LoadJpegHeaderTableFromFile(TablePath(), table);
  // A file of the right size is taken only when its parts are JPEG leading parts for one
  // picture size; a refused one leaves the table as it was.
  if (loaded.ok) {
    Require(loaded.error.empty());
    CheckSlots(table, input.first(kTableSize));
  } else {
    Require(loaded.contentRejected && !loaded.error.empty());
    const bf::JpegHeaderTable untouched;
    Require(Equal(table.SelectHeaderEntry(0, 0), untouched.SelectHeaderEntry(0, 0)) &&
            Equal(table.SelectHeaderEntry(4, 1), untouched.SelectHeaderEntry(4, 1)));
  }

  std::size_t pos = kTableSize;
  int decoded = 0;
  while (pos + bf::kFrameHeaderSize <= size && decoded < kMaxRecordsDecoded) {
    const bf::FrameHeader header = bf::FrameHeader::FromBytes(data + pos);
    const std::span<const uint8_t> rest = input.subspan(pos + bf::kFrameHeaderSize);
    const std::span<const uint8_t> payload =
        rest.first(std::min<std::size_t>(bf::PayloadLength(header), rest.size()));
    const std::vector<uint8_t> jpeg = bf::RebuildJpeg(table, header, rest);
    const std::span<const uint8_t> entry =
        table.SelectHeaderEntry(header.Compression(), header.Monochrome());
    if (entry.empty()) {
      Require(jpeg.empty());
    } else {
      Require(jpeg.size() == entry.size() + payload.size());
      Require(Equal(std::span(jpeg).first(entry.size()), entry));
      Require(Equal(std::span(jpeg).subspan(entry.size()), payload));
      const bf::JpegInfo info = bf::DecodeCheckJpeg(jpeg);
      Require(info.ok ? info.width > 0 && info.height > 0 && info.components > 0
                      : !info.error.empty());
      ++decoded;
    }
    pos += bf::kFrameHeaderSize + payload.size();
  }
  return 0;
}
