#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/JsonValue.h"

namespace bf {

// Whether a file a copy record lists still holds the bytes the copy received: its SHA-256 and
// that of every chunk of the map are computed again from the file.
struct RecordedFileCheck {
  std::string path;  // the file checked: the record's folder and the name it lists
  bool matches = false;
  uint64_t size = 0;          // the file's size now
  uint64_t recordedSize = 0;  // the size the record gives
  std::size_t chunks = 0;     // chunks in the map
  // The first chunk whose bytes differ (0-based, as the record lists them), if any.
  std::optional<std::size_t> firstBadChunk;
  uint64_t badOffset = 0;
  uint64_t badLength = 0;
  std::string problem;  // empty when it matches; else what is wrong, on one line
};

// Reads and parses a record; nothing when it cannot be read or is not a copy record (error then
// says why).
std::optional<JsonValue> ReadCopyRecord(const std::string& recordPath, std::string* error);

// Checks every file the record lists, in its order. Reads the files only; any thread.
std::vector<RecordedFileCheck> CheckCopyRecord(const std::string& recordPath,
                                               const JsonValue& record);

}  // namespace bf
