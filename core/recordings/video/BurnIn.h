#pragma once
#include <string>

#include "recordings/video/TurboJpeg.h"

namespace bf::video {

// Burns a line of text into the top-left corner of a picture, as the window shows the overlay
// line above it: light glyphs on a dark strip, the strip's colour neutral. Glyphs are 5x7
// pixels on a 6x9 cell, drawn twice as large in pictures 640 or more wide. Characters without a
// glyph (the overlay line uses digits, ".,:/", spaces and the letters of "q COL BW fps MD") are
// left blank; the strip ends at the picture's right edge. Any thread.
void BurnInText(YuvPicture& picture, const std::string& text);

}  // namespace bf::video
