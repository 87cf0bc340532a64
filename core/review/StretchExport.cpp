#include "review/StretchExport.h"

#include "recordings/FramesExport.h"

namespace bf {

StretchExport::StretchExport(ReviewPresenter& presenter, UserPrompts& prompts,
                             ExportProgressView& view, const JpegHeaderTable& table,
                             VideoWriter videoWriter, RecordingExport::Post post)
    : presenter_(presenter),
      prompts_(prompts),
      table_(table),
      videoWriter_(std::move(videoWriter)),
      export_(prompts, view, table, {}, std::move(post)) {}

std::optional<ExportRange> StretchExport::MarkedRange() {
  const std::vector<std::size_t> frames = presenter_.MarkedFrames();
  if (frames.empty()) {
    prompts_.ShowMessage(kMarkStretchText, "", MessageIcon::Information);
    return std::nullopt;
  }
  // MarkedFrames lists them in file order.
  if (frames.back() - frames.front() + 1 != frames.size()) {
    prompts_.ShowMessage(kStretchNotTogetherText, "", MessageIcon::Warning);
    return std::nullopt;
  }
  return ExportRange{static_cast<uint32_t>(frames.front()), static_cast<uint32_t>(frames.back())};
}

bool StretchExport::StartVideo(uint32_t rate, bool burnIn) {
  const std::string path = presenter_.IsOpen() ? presenter_.GetRecording().Path() : std::string();
  if (!videoWriter_ || !export_.Ready(path)) return false;
  const std::optional<ExportRange> range = MarkedRange();
  if (!range) return false;
  const std::optional<std::string> output = export_.ChooseVideoOutput(path);
  if (!output) return false;
  const std::optional<VideoContainer> container = ContainerForPath(*output);
  if (!container) {
    prompts_.ShowMessage(*output + ": the name must end in .mkv, .avi or .mp4", "",
                         MessageIcon::Error);
    return false;
  }
  VideoExportOptions options;
  options.output = *output;
  options.container = *container;
  options.range = *range;
  options.rate = rate;
  options.burnIn = burnIn;
  return export_.StartJob(
      path, kExportVideoTitle,
      [this, options](const Recording& recording, ExportProgress& progress) {
        return videoWriter_(recording, table_, options, progress);
      },
      Recording::Pairing::JoinSecond);
}

bool StretchExport::StartFrames() {
  const std::string path = presenter_.IsOpen() ? presenter_.GetRecording().Path() : std::string();
  if (!export_.Ready(path)) return false;
  const std::optional<ExportRange> range = MarkedRange();
  if (!range) return false;
  const std::optional<std::string> folder = export_.ChooseFramesFolder();
  if (!folder) return false;
  return export_.StartJob(
      path, kExportFramesTitle,
      [this, folder = *folder, range = *range](const Recording& recording,
                                               ExportProgress& progress) {
        return ExportFrames(recording, table_, folder, range, progress);
      },
      Recording::Pairing::JoinSecond);
}

}  // namespace bf
