#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "frames/JpegHeaderTable.h"
#include "host/UserPrompts.h"
#include "recordings/RecordingExport.h"
#include "recordings/VideoExportOptions.h"
#include "review/ReviewPresenter.h"

namespace bf {

inline constexpr const char* kExportStretchVideoMenuText = "Экспорт отрезка в видео...";
inline constexpr const char* kExportStretchFramesMenuText = "Экспорт отрезка в кадры...";
inline constexpr const char* kBurnInMenuText = "Впечатать строку кадра в видео";
inline constexpr const char* kStretchNotTogetherText =
    "Кадры отмеченного отрезка стоят в файле не подряд (часы камеры переводились назад); "
    "отметьте отрезок внутри одной записи.";

// Export of a review window's marked stretch as a video or a folder of stills, with the
// progress, Cancel and result messages of the recording exports (RecordingExport). The worker
// opens the recording afresh, joined with its pair as the review is. The marked frames must
// stand together in the file (a clock set back can put frames of the stretch apart); the
// export takes them from the first to the last.
// GUI thread, like the presenter; Export() gives the running export for Cancel and Wait;
// its progress and end come through `post`, as RecordingExport's do.
class StretchExport {
 public:
  // The video export, injected so that this builds without the video libraries; empty when the
  // build has none.
  using VideoWriter = std::function<ExportOutcome(const Recording&, const JpegHeaderTable&,
                                                  const VideoExportOptions&, ExportProgress&)>;

  StretchExport(ReviewPresenter& presenter, UserPrompts& prompts, ExportProgressView& view,
                const JpegHeaderTable& table, VideoWriter videoWriter, RecordingExport::Post post);

  bool VideoAvailable() const { return static_cast<bool>(videoWriter_); }
  // rate: 0 paces the video by the recorded times, else frames per second. burnIn: each
  // frame's overlay line drawn into its picture. True when an export was started.
  bool StartVideo(uint32_t rate, bool burnIn);
  bool StartFrames();

  RecordingExport& Export() { return export_; }
  // The marked stretch as a range of the file; nothing (and the operator told why) when there
  // is no marked stretch or its frames do not stand together.
  std::optional<ExportRange> MarkedRange();

 private:
  ReviewPresenter& presenter_;
  UserPrompts& prompts_;
  const JpegHeaderTable& table_;
  VideoWriter videoWriter_;
  RecordingExport export_;
};

}  // namespace bf
