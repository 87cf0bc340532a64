#pragma once
#include <string>

#include "recordings/Recording.h"

namespace bf::cli {

// Opens a recording (indexing at most frameLimit frames); on failure prints "bfk COMMAND: why"
// and returns false. Only regular files are opened.
bool OpenRecordingOrSay(const std::string& command, const std::string& path, Recording& recording,
                        std::size_t frameLimit = kAllFrames);

}  // namespace bf::cli
