#include "review/ReviewPresenter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/FileErrorText.h"
#include "host/RecordingFileType.h"
#include "host/ReplacingFileWriter.h"
#include "recordings/PlayerPanel.h"
#include "review/StretchCut.h"

namespace bf {

ReviewPresenter::ReviewPresenter(UserPrompts& prompts, ReviewView& view)
    : prompts_(prompts), view_(view) {}

void ReviewPresenter::Tell(const std::string& text, MessageIcon icon) {
  prompts_.ShowMessage(text, "", icon);
}

bool ReviewPresenter::Open(const std::string& path) {
  recording_.Close();
  const Recording::OpenStatus status =
      recording_.Open(path, kAllFrames, Recording::Pairing::JoinSecond);
  if (status != Recording::OpenStatus::Opened) {
    if (status == Recording::OpenStatus::SystemError) {
      Tell(FileErrorText(recording_.SystemError(), path), MessageIcon::Error);
    } else {
      Tell(kEmptyFileText, MessageIcon::None);
    }
    timeline_ = Timeline({});
    runs_.clear();
    gaps_.clear();
    damaged_.clear();
    in_.reset();
    out_.reset();
    view_.TimelineChanged();
    return false;
  }
  const FrameIndex& index = recording_.Index();
  timeline_ = Timeline(index);
  runs_ = SplitRecordings(index);
  gaps_ = FindGaps(timeline_);
  damaged_.clear();
  // A stretch lies between two indexed records: it ends at the header of the next one.
  for (const DamagedStretch& stretch : FindDamagedStretches(index)) {
    const uint64_t next = stretch.offset + stretch.length;
    const auto after = std::lower_bound(
        index.begin(), index.end(), next,
        [](const FrameIndexEntry& e, uint64_t offset) { return e.offset < offset; });
    if (after == index.begin() || after == index.end()) continue;
    const uint32_t a = std::prev(after)->header.Timestamp();
    const uint32_t b = after->header.Timestamp();
    // Across a gap the damage belongs to the end of the earlier recording, where the dropped
    // frame was taken; it does not cover the empty time.
    const bool apart = (a > b ? a - b : b - a) > kRecordingGapSeconds;
    damaged_.push_back(apart ? DamagedMark{a, a} : DamagedMark{std::min(a, b), std::max(a, b)});
  }
  in_.reset();
  out_.reset();
  window_ = timeline_.Whole();
  position_ = 0;
  MoveTo(0);
  return true;
}

std::string ReviewPresenter::JoinedWith() const {
  if (!recording_.IsJoined()) return {};
  return recording_.FirstPath() == recording_.Path() ? recording_.SecondPath()
                                                     : recording_.FirstPath();
}

std::size_t ReviewPresenter::Current() const {
  return timeline_.Empty() ? 0 : timeline_.SortedFrames()[position_];
}

uint32_t ReviewPresenter::CurrentTime() const {
  return timeline_.Empty() ? 0 : timeline_.SortedTimes()[position_];
}

void ReviewPresenter::MoveTo(std::size_t position) {
  if (timeline_.Empty()) return;
  position_ = std::min(position, timeline_.Count() - 1);
  // The cursor stays in sight: a frame outside the window brings the window to it.
  const double t = static_cast<double>(CurrentTime());
  if (t < window_.start || t + 1.0 > window_.end) {
    window_ = Pan(window_, t + 0.5 - (window_.start + window_.Length() / 2), timeline_.Whole());
  }
  std::vector<uint8_t> payload;
  const std::size_t frame = Current();
  if (!recording_.ReadPayload(frame, payload)) payload.clear();
  view_.ShowFrame(recording_.Index()[frame].header, payload);
  view_.TimelineChanged();
}

void ReviewPresenter::Step(int frames) {
  if (timeline_.Empty()) return;
  const auto last = static_cast<long long>(timeline_.Count() - 1);
  const long long target = std::clamp(static_cast<long long>(position_) + frames, 0LL, last);
  MoveTo(static_cast<std::size_t>(target));
}

void ReviewPresenter::StepSecond(int direction) {
  if (timeline_.Empty() || direction == 0) return;
  const double t = static_cast<double>(CurrentTime());
  if (direction > 0) {
    MoveTo(timeline_.LowerBound(t + 1.0));  // past the end: the last frame
    return;
  }
  const std::size_t first = timeline_.LowerBound(t);
  if (first == 0) {
    MoveTo(0);
    return;
  }
  MoveTo(timeline_.LowerBound(static_cast<double>(timeline_.SortedTimes()[first - 1])));
}

std::vector<double> ReviewPresenter::Stops() const {
  std::vector<double> stops;
  for (const RecordingRun& run : runs_) stops.push_back(run.start);
  for (const TimeGap& gap : gaps_) stops.push_back(gap.end);
  std::sort(stops.begin(), stops.end());
  stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
  return stops;
}

void ReviewPresenter::NextStop() {
  if (timeline_.Empty()) return;
  for (double stop : Stops()) {
    const std::size_t at = timeline_.LowerBound(stop);
    if (at > position_ && at < timeline_.Count()) {
      MoveTo(at);
      return;
    }
  }
  End();
}

void ReviewPresenter::PreviousStop() {
  if (timeline_.Empty()) return;
  const std::vector<double> stops = Stops();
  for (auto it = stops.rbegin(); it != stops.rend(); ++it) {
    const std::size_t at = timeline_.LowerBound(*it);
    if (at < position_) {
      MoveTo(at);
      return;
    }
  }
  Home();
}

void ReviewPresenter::Home() {
  MoveTo(0);
}

void ReviewPresenter::End() {
  if (!timeline_.Empty()) MoveTo(timeline_.Count() - 1);
}

void ReviewPresenter::GoToTime(double time) {
  const std::optional<std::size_t> frame = timeline_.Nearest(time);
  if (!frame) return;
  // The sorted position of that frame: among the frames of its second, the one it is.
  const auto frames = timeline_.SortedFrames();
  std::size_t at = timeline_.LowerBound(recording_.Index()[*frame].header.Timestamp());
  while (at < frames.size() && frames[at] != *frame) ++at;
  MoveTo(at);
}

bool ReviewPresenter::GoToLocalTime(const CalendarDate& date, int hour, int minute, int second) {
  const std::optional<UtcSeconds> t = FromLocalTime(date, hour, minute, second);
  if (!t) return false;
  GoToTime(static_cast<double>(*t));
  return true;
}

bool ReviewPresenter::GoToLocalText(const std::string& text) {
  CalendarDate date;
  int hour = 0, minute = 0, second = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), " %d-%d-%d %d:%d:%d %c", &date.year, &date.month, &date.day, &hour,
                  &minute, &second, &tail) != 6) {
    return false;
  }
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  return GoToLocalTime(date, hour, minute, second);
}

std::string ReviewPresenter::CurrentLocalText() const {
  if (!IsOpen()) return {};
  const std::optional<LocalDateTime> local = ToLocalTime(static_cast<UtcSeconds>(CurrentTime()));
  return local ? FormatDateTime(*local) : std::string();
}

void ReviewPresenter::MarkIn() {
  if (timeline_.Empty()) return;
  in_ = Current();
  view_.TimelineChanged();
}

void ReviewPresenter::MarkOut() {
  if (timeline_.Empty()) return;
  out_ = Current();
  view_.TimelineChanged();
}

std::optional<TimeWindow> ReviewPresenter::MarkedStretch() const {
  if (!in_ || !out_ || !IsOpen()) return std::nullopt;
  const uint32_t a = recording_.Index()[*in_].header.Timestamp();
  const uint32_t b = recording_.Index()[*out_].header.Timestamp();
  return TimeWindow{static_cast<double>(std::min(a, b)), static_cast<double>(std::max(a, b)) + 1.0};
}

std::vector<std::size_t> ReviewPresenter::MarkedFrames() const {
  const std::optional<TimeWindow> stretch = MarkedStretch();
  if (!stretch) return {};
  StretchBound from, to;
  from.time = static_cast<UtcSeconds>(stretch->start);
  to.time = static_cast<UtcSeconds>(stretch->end) - 1;
  return FramesInStretch(recording_.Index(), from, to);
}

bool ReviewPresenter::SaveStretch() {
  if (MarkedFrames().empty()) {
    Tell(kMarkStretchText, MessageIcon::Information);
    return false;
  }
  FileDialogRequest request;
  request.filter = kRecordingFilter;
  request.defaultExtension = kRecordingExtension;
  request.confirmOverwrite = true;
  // Beside the recording being reviewed.
  request.initialDirectory = FolderOfChosenFile(recording_.Path());
  const std::optional<std::string> chosen = prompts_.ChooseSaveFile(request);
  if (!chosen || chosen->empty()) return false;
  return SaveStretchTo(*chosen);
}

bool ReviewPresenter::SaveStretchTo(const std::string& output) {
  const std::vector<std::size_t> frames = MarkedFrames();
  if (frames.empty()) return false;
  // Replacing the open recording would pull the file from under its own index.
  if (IsSameFile(output, recording_.Path())) {
    Tell(output + ": это открытая запись; выберите другой файл.", MessageIcon::Error);
    return false;
  }
  const StretchWriteOutcome outcome = WriteStretch(recording_, frames, output);
  if (outcome.unreadableFrame) {
    Tell("Кадр " + std::to_string(*outcome.unreadableFrame) +
             " больше не читается из файла записи; отрезок не сохранён.",
         MessageIcon::Error);
    return false;
  }
  if (outcome.error != 0) {
    Tell(FileErrorText(outcome.error, output), MessageIcon::Error);
    return false;
  }
  return true;
}

void ReviewPresenter::ZoomAround(double time, double factor) {
  if (timeline_.Empty()) return;
  window_ = bf::ZoomAround(window_, time, factor, timeline_.Whole());
  view_.TimelineChanged();
}

void ReviewPresenter::PanBy(double seconds) {
  if (timeline_.Empty()) return;
  window_ = Pan(window_, seconds, timeline_.Whole());
  view_.TimelineChanged();
}

void ReviewPresenter::ShowWhole() {
  window_ = timeline_.Whole();
  view_.TimelineChanged();
}

std::optional<std::string> ChooseReviewRecording(UserPrompts& prompts, SettingsStore& settings) {
  FileDialogRequest request;
  request.filter = kRecordingFilter;
  request.defaultExtension = kRecordingExtension;
  request.initialDirectory = settings.ReadString(settings::kSection, settings::kPath, "");
  const std::optional<std::string> chosen = prompts.ChooseOpenFile(request);
  if (!chosen || chosen->empty()) return std::nullopt;
  settings.WriteString(settings::kSection, settings::kPath, FolderOfChosenFile(*chosen));
  return chosen;
}

}  // namespace bf
