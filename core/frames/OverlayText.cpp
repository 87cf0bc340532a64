#include "frames/OverlayText.h"

#include "host/CalendarTime.h"

#include <ctime>

namespace bf {

namespace {

constexpr const char* kCompressionTexts[] = {" 0q /", " 1q /", " 2q /", " 3q /", " 4q /"};
constexpr const char* kRateTexts[] = {" 0,1 fps /", " 0,2 fps /", " 0,5 fps /", " 1 fps /",
                                      " 2 fps /",   " 3 fps /",   " 4 fps /",   " Max fps /"};

void AppendLocalTime(uint32_t timestamp, std::string& text) {
  // The camera counts unsigned seconds; widening keeps stamps past 2038 in the future.
  const std::time_t seconds = static_cast<std::time_t>(static_cast<int64_t>(timestamp));
  std::tm local{};
  if (!LocalCalendarTime(seconds, &local)) return;
  char buffer[64];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%d.%m.%y, %H:%M:%S /", &local);
  text.append(buffer, n);
}

}  // namespace

std::string BuildOverlayText(const FrameHeader& shown) {
  std::string text;
  if (!IsFrameHeader(shown)) return text;
  AppendLocalTime(shown.Timestamp(), text);
  if (shown.Compression() < std::size(kCompressionTexts)) {
    text += kCompressionTexts[shown.Compression()];
  }
  text += shown.Monochrome() != 0 ? " BW /" : " COL /";
  if (shown.FrameRateIndex() < std::size(kRateTexts)) text += kRateTexts[shown.FrameRateIndex()];
  text += shown.MotionDetectorOn() ? " MD    " : "       ";
  return text;
}

}  // namespace bf
