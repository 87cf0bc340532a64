#pragma once
#include <memory>

#include "flash/CopyOutput.h"
#include "flash/CopyRecord.h"

namespace bf {

// A CopyOutput that feeds every chunk written, once the file has taken it, to a FileDigest, and
// notes there the name the bytes end up under. Same threads as the output it wraps.
std::unique_ptr<CopyOutput> MakeHashingCopyOutput(std::unique_ptr<CopyOutput> inner,
                                                  std::shared_ptr<FileDigest> digest);

}  // namespace bf
