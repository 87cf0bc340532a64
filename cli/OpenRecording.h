#pragma once
#include <cstddef>
#include <string>

#include "recordings/Recording.h"

namespace bf::cli {

// Opens a recording (indexing at most frameLimit frames, as Recording::Open); on failure prints
// "bfk COMMAND: why" and returns false. Only regular files are opened. An empty file is said to
// be empty: it holds no frame, and the system's complaint about it (it cannot be mapped) would
// not tell the user that. A copy that went round the end of the flash opens as one recording
// from either of its two files, and a line on standard error names the other one.
bool OpenRecordingOrSay(const std::string& command, const std::string& path, Recording& recording,
                        std::size_t frameLimit = kAllFrames);

}  // namespace bf::cli
