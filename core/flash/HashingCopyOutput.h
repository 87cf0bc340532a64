#pragma once
#include <memory>

#include "flash/CopyOutput.h"
#include "flash/CopyRecord.h"

namespace bf {

// A CopyOutput that feeds every chunk written, once the file has taken it, to a FileDigest, and
// notes there the name the bytes end up under.
//
// With writeBehind the chunk is copied and written on a thread of the output's own, so that the
// copy sends its next request while the last chunk goes to the disk: one chunk at a time, held
// until StartWriting; Write first waits for the one before and returns its failure. Without it (a
// comparison, whose findings the copy looks at after every chunk) the chunk is written at once.
// Called from the same threads as the output it wraps; the writing thread uses that output only
// between a Write and the end of that chunk's writing, which every later call waits for.
std::unique_ptr<CopyOutput> MakeHashingCopyOutput(std::unique_ptr<CopyOutput> inner,
                                                  std::shared_ptr<FileDigest> digest,
                                                  bool writeBehind = false);

}  // namespace bf
