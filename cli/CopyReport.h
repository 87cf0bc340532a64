#pragma once
#include <string>

#include "flash/CopySession.h"

namespace bf::cli {

// The report `bfk copy` prints at the end: how the copy ended, bytes asked and received, short
// chunks, and for every file written the frames it indexes to, their time span (UTC) and the
// damaged stretches between them. Reads the files it names.
std::string CopyReport(const CopySummary& summary, bool verify = false);

}  // namespace bf::cli
