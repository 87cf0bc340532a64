#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/SettingsStore.h"

namespace bf {

// The ten JPEG leading parts that the camera never sends. Slot k (k = 0..4) holds the
// black-and-white part for compression k, slot 5 + k the colour part. An entry followed by a
// payload of the same kind is a complete JPEG; nothing in an entry is parsed or patched.
//
// Threads: filled once (construction or assignment) before any reader exists; afterwards only
// const members are used, from the GUI thread and the playback thread alike, without a lock.
class JpegHeaderTable {
 public:
  static constexpr std::size_t kFileSize = 6930;
  static constexpr std::size_t kMonochromeEntrySize = 688;
  static constexpr std::size_t kColourEntrySize = 698;
  static constexpr std::size_t kLevels = 5;  // compression 0..4
  static constexpr std::size_t kSlotCount = 2 * kLevels;
  static constexpr std::size_t kColourFileOffset = kLevels * kMonochromeEntrySize;  // 3440

  // An all-zero table (nothing loaded yet).
  JpegHeaderTable() = default;
  // From the file form: five 688-byte black-and-white entries, then five 698-byte colour ones.
  explicit JpegHeaderTable(std::span<const uint8_t, kFileSize> fileBytes);

  // The entry for a frame: 698 colour bytes when monochrome == 0, else 688 black-and-white
  // bytes. A compression above 4 has no entry: the span is empty.
  std::span<const uint8_t> SelectHeaderEntry(uint8_t compression, uint8_t monochrome) const;

 private:
  std::array<std::array<uint8_t, kColourEntrySize>, kSlotCount> slots_{};
};

struct TableLoadResult {
  bool ok = false;
  std::string error;  // the text for the operator's message box when !ok
  // The file was read but is no header table (too short, not ten JPEG leading parts, or parts
  // for different picture sizes), as opposed to a file that could not be read at all.
  bool contentRejected = false;
  explicit operator bool() const { return ok; }
};

// Reads "headers.dat" from the folder named by the "InstallPath" setting (empty: the current
// directory). On failure `out` is left untouched and the result carries the file error text
// with the full path ("%1 was not found." and friends), or the refusal of something that is
// not a regular file (a FIFO would block the reader for ever), or of a file that is no header
// table: each of the ten parts must be the leading part of a JPEG up to its scan header, and
// all ten must be for one picture size, or every picture rebuilt with them is garbage.
TableLoadResult LoadJpegHeaderTable(SettingsStore& settings, JpegHeaderTable& out);
TableLoadResult LoadJpegHeaderTableFromFile(const std::string& path, JpegHeaderTable& out);
// The same checks on bytes already in memory; `sourceName` names them in the error text.
TableLoadResult LoadJpegHeaderTableFromBytes(std::span<const uint8_t> bytes,
                                             std::string_view sourceName, JpegHeaderTable& out);

// The path LoadJpegHeaderTable opens for an "InstallPath" value.
std::string HeaderTablePath(const std::string& installPath);

}  // namespace bf
