#pragma once
#include <cstdint>
#include <string>

#include "frames/FrameHeader.h"
#include "frames/JpegHeaderTable.h"
#include "recordings/ExportProgress.h"
#include "recordings/Recording.h"

namespace bf {

// The name of the still of frame `index`: its local recording time and the index, e.g.
// "2026-12-06_14-03-05_000123.jpg" (the index has at least six digits). Names sort by time
// within a recording and never collide, as the index differs.
std::string StillFileName(const FrameHeader& header, uint32_t index);

// Every frame of the range as a JPEG still in `folder` (created when missing), each file the
// same bytes as "Сохранить" writes. A frame whose compression has no JPEG header is skipped and
// counted, and so is one whose picture does not decode (listed in the outcome's undecodable).
// The stills appear together at the end (StillBatch): an export that is cancelled or fails, at
// whatever step, leaves the folder's files as they were, also the stills of an earlier export
// it would have replaced. A still whose name is the recording itself ends the export before
// anything is written over. The first file that cannot be written ends the export with the file
// error text.
// Runs on the caller's thread (a worker); `recording` and `table` must not change meanwhile.
ExportOutcome ExportFrames(const Recording& recording, const JpegHeaderTable& table,
                           const std::string& folder, const ExportRange& range,
                           ExportProgress& progress);

}  // namespace bf
