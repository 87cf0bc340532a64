#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flash/CopyOutput.h"

namespace bf {

// A stretch of a file whose bytes differ from what the flash gives now (or that one side lacks).
struct DifferingStretch {
  uint32_t fileIndex = 0;  // as the record lists the files: 0 the first
  uint64_t offset = 0;
  uint64_t length = 0;
};

// What reading the flash again found for one file of a copy.
struct ComparedFile {
  uint32_t fileIndex = 0;
  std::string path;
  bool exists = true;     // false: the record lists no such file (its bytes are all missing)
  uint64_t fileSize = 0;  // the file's size when the comparison began
  uint64_t compared = 0;  // bytes the flash gave for it
  std::vector<DifferingStretch> stretches;
  // More stretches than are kept (a wholly different file): their bytes still count here.
  uint64_t differingBytes = 0;
  bool tooManyStretches = false;
};

// A CopyOutput that writes nothing: every chunk the copy flow hands it is compared with the
// same bytes of the existing file, and what differs is noted in result. Commit (the whole range
// was read) also counts the file's bytes past the range as differing. The file is only read,
// never changed. Same threads as any CopyOutput.
std::unique_ptr<CopyOutput> MakeComparingCopyOutput(std::shared_ptr<ComparedFile> result);

}  // namespace bf
