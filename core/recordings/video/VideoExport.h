#pragma once
#include <cstdint>

#include "frames/JpegHeaderTable.h"
#include "recordings/ExportProgress.h"
#include "recordings/Recording.h"
#include "recordings/VideoExportOptions.h"

namespace bf {

// Writes the range of the recording as a video through the replacing writer, so a cancelled or
// failed export leaves no file behind and an existing file is only replaced by a finished one.
//
// Frame times: each frame's presentation time is where the player would show it in a fresh run
// from the first frame of the range, counted from the first frame written (the video starts
// with a picture); a frame that is skipped leaves its time to the frame before. Rotation turns the
// pictures without re-encoding them (a lossless transform of the JPEG), so Motion JPEG output stays
// a copy also when turned.
//
// Skipped and counted, never fatal: a frame whose compression has no JPEG header, that was cut
// short (no end-of-image marker), whose markers do not describe a picture, whose size differs
// from the first good frame (a stream has one size) or, for H.264, whose data the decoder
// refuses. Damage the decoder works around is kept, as the player shows it. Motion JPEG output
// does not decode the scans: that would cost more than the copy itself.
//
// A frame the recording no longer holds as indexed (the file was cut short or written over
// while the export ran) fails the export.
//
// Runs on the caller's thread (a worker); `recording` and `table` must not change meanwhile.
ExportOutcome ExportVideo(const Recording& recording, const JpegHeaderTable& table,
                          const VideoExportOptions& options, ExportProgress& progress);

}  // namespace bf
