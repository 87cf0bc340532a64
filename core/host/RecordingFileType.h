#pragma once

namespace bf {

// The recording files' type in the open and save dialogs: the copy flows write these files and
// the player opens them, so both name them the same way.
inline constexpr const char* kRecordingFilter = "Brindle file (*.bfk)|*.bfk|All files (*.*)|*.*||";
inline constexpr const char* kRecordingExtension = "bfk";

}  // namespace bf
