#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "flash/CopyPlan.h"

namespace bf {

// The unfinished copy that a copy to `path` can go on with: the one whose record says cancelled
// or failed, in `path` itself or, when `path` existed as the copy began, in the file beside it
// that the unfinished copy went to (PartialFileName); the later of the two when both are
// unfinished. Its files must still hold what the record says. Nothing when there is none; why
// goes to refusal then (a sentence for the person). The plan's outputPath is `path`.
std::optional<CopyPlan> FindResumableCopy(const std::string& path, std::string* refusal);

// The question the window asks before a copy into a file that holds such an unfinished copy:
// how much it holds and when it broke off.
std::string ResumeQuestion(const CopyPlan& plan);

// The bytes of the whole chunks an unfinished copy holds, read from its files for the continued
// copy. Each read opens the file anew, so no file stays open while the copy puts its own files
// in place. The copying thread only.
class ResumeSource {
 public:
  explicit ResumeSource(const CopyPlan& plan);
  // Whether the unfinished copy holds all of [offset, offset + length) of file fileIndex.
  bool Covers(uint32_t fileIndex, uint64_t offset, uint64_t length) const;
  // Throws CopyFileError when the file cannot give the bytes.
  void Read(uint32_t fileIndex, uint64_t offset, std::span<uint8_t> bytes) const;

 private:
  std::vector<PlannedFile> files_;
};

}  // namespace bf
