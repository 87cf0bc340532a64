#pragma once
#include <string>

#include "host/JsonValue.h"
#include "recordings/Recording.h"

namespace bf::cli {

// What `bfk info` says of a recording that has a copy record beside it (FILE.json): the
// record's facts next to what the file holds now.
std::string CopyRecordFacts(const std::string& path, const JsonValue& record,
                            const Recording& recording);

// `bfk info --check FILE`: recomputes the hashes of every file the record lists and prints
// whether each still matches. Returns the exit status: 0 when all match, 1 otherwise.
int CheckAgainstCopyRecord(const std::string& path);

}  // namespace bf::cli
