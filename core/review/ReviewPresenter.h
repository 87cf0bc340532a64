#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clock/LocalTime.h"
#include "frames/FrameHeader.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "recordings/Recording.h"
#include "review/DamagedStretches.h"
#include "review/Recordings.h"
#include "review/TimeWindow.h"
#include "review/Timeline.h"

namespace bf {

// Context-menu entry of the main window that opens a review window, and the review window's
// own entries.
inline constexpr const char* kReviewMenuText = "Обзор записи...";
inline constexpr const char* kGoToTimeMenuText = "Перейти к времени...";
inline constexpr const char* kSaveStretchMenuText = "Сохранить отрезок...";
inline constexpr const char* kMarkStretchText = "Отметьте начало (I) и конец (O) отрезка.";

// What the review presenter asks of its window. GUI thread.
class ReviewView {
 public:
  virtual ~ReviewView() = default;
  // The current frame changed: its header and its payload (empty when the file no longer holds
  // it as indexed).
  virtual void ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) = 0;
  // The time window, the marks or the cursor changed: the timeline is drawn again.
  virtual void TimelineChanged() = 0;
};

// A damaged stretch of the file placed on camera time: from the frame before it to the frame
// after it, or only at the frame before it when the two lie a gap apart.
struct DamagedMark {
  uint32_t start = 0;
  uint32_t end = 0;
};

// The headless side of a review window: one recording of its own, opened apart from the main
// window's player, its frame index seen over camera time, a current frame moved in time order,
// the in and out marks and the export of the marked stretch. Everything about the recording
// comes from its frame index; only the current frame's payload and an export read the file.
// GUI thread only.
class ReviewPresenter {
 public:
  ReviewPresenter(UserPrompts& prompts, ReviewView& view);

  // Opens the recording and shows its first frame in time order. On failure the window says why
  // (the file error, or "Файл пустой") and nothing is open. A copy that went round the end of
  // the flash opens as one recording from either of its two files.
  bool Open(const std::string& path);
  // The other file of such a pair when it was opened joined; empty otherwise.
  std::string JoinedWith() const;
  bool IsOpen() const { return recording_.IsOpen(); }
  const Recording& GetRecording() const { return recording_; }
  const Timeline& GetTimeline() const { return timeline_; }
  const std::vector<RecordingRun>& Runs() const { return runs_; }
  const std::vector<TimeGap>& Gaps() const { return gaps_; }
  const std::vector<DamagedMark>& Damaged() const { return damaged_; }

  // The current frame: its position in the frame index and in the time-sorted view.
  std::size_t Current() const;
  std::size_t Position() const { return position_; }
  uint32_t CurrentTime() const;

  // Navigation; each shows the frame it lands on.
  void Step(int frames);           // in time order, clamped to the first and last frame
  void StepSecond(int direction);  // to the first frame of the next (previous) second with frames
  void NextStop();                 // next recording start or end of a gap; else the last frame
  void PreviousStop();             // previous one; else the first frame
  void Home();
  void End();
  // The frame nearest in camera time.
  void GoToTime(double time);
  // The same for a local wall-clock reading; false when the reading names no moment.
  bool GoToLocalTime(const CalendarDate& date, int hour, int minute, int second);

  // The same for "YYYY-MM-DD HH:MM:SS" in local time; false when the text names no moment.
  bool GoToLocalText(const std::string& text);
  // The local time of the current frame in that form (empty with nothing open).
  std::string CurrentLocalText() const;

  // The in and out marks: frames by index position. The marked stretch is the camera time from
  // the earlier mark's second to the later one's, both included.
  void MarkIn();
  void MarkOut();
  std::optional<std::size_t> InMark() const { return in_; }
  std::optional<std::size_t> OutMark() const { return out_; }
  std::optional<TimeWindow> MarkedStretch() const;
  // The frames the marked stretch takes, in file order (what "bfk cut" takes for the same times).
  std::vector<std::size_t> MarkedFrames() const;
  // "Сохранить отрезок...": asks for a recording file name and writes the marked frames there.
  // Failures are told in a message box. True when a file was written.
  bool SaveStretch();
  // The same without the dialog.
  bool SaveStretchTo(const std::string& output);

  // The part of camera time the timeline shows.
  TimeWindow Window() const { return window_; }
  void ZoomAround(double time, double factor);
  void PanBy(double seconds);
  void ShowWhole();

 private:
  void MoveTo(std::size_t position);
  std::vector<double> Stops() const;
  void Tell(const std::string& text, MessageIcon icon);

  UserPrompts& prompts_;
  ReviewView& view_;
  Recording recording_;
  Timeline timeline_{{}};
  std::vector<RecordingRun> runs_;
  std::vector<TimeGap> gaps_;
  std::vector<DamagedMark> damaged_;
  std::size_t position_ = 0;
  std::optional<std::size_t> in_;
  std::optional<std::size_t> out_;
  TimeWindow window_;
};

// The review window's own open dialog, for when the main window has no recording open: the
// recording filter, starting in the "Path" folder, which then remembers the chosen file's
// folder. Nothing when cancelled. GUI thread.
std::optional<std::string> ChooseReviewRecording(UserPrompts& prompts, SettingsStore& settings);

}  // namespace bf
