#pragma once
#include <cstdint>

#include "host/UserPrompts.h"
#include "link/FTD2xx.h"

namespace bf {

// The hidden buttons that save the camera's raw output to a file of the operator's choice
// (a save dialog without filter that hides read-only files and confirms an overwrite). The file
// is written by the replacing writer: a failure leaves an existing file as it was, and a mapped
// recording may be chosen without harm. A link failure is shown by `prompts` as every camera
// handler shows it; a file failure by the file error texts. Called on the thread that owns the
// link; `prompts` must be usable there.

// "Read Rx": the bytes the bridge holds now; nothing pending asks nothing.
void SaveReceivedBytes(FTD2xx& link, UserPrompts& prompts);

// "AllData": everything the camera sends, in chunks of kAllDataChunk, until a read brings
// nothing, under the busy cursor.
inline constexpr uint32_t kAllDataChunk = 63'488;
void SaveCameraOutput(FTD2xx& link, UserPrompts& prompts);

}  // namespace bf
