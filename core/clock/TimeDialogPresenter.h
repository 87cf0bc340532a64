#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "clock/LocalTime.h"
#include "host/UserPrompts.h"

namespace bf {

// The three time-of-day edits of the clock dialog, each with its spinner.
enum class ClockField { Hour, Minute, Second };

// What the date-and-time dialog's presenter needs of its window. GUI thread only.
class TimeDialogView {
 public:
  virtual ~TimeDialogView() = default;
  virtual void SelectDate(const CalendarDate& date) = 0;
  // The calendar's selection; nothing when it has none.
  virtual std::optional<CalendarDate> SelectedDate() const = 0;
  // Range and position of a field's spinner; the control keeps the position inside the range.
  virtual void SetSpinner(ClockField field, int minimum, int maximum, int16_t position) = 0;
  virtual std::string EditText(ClockField field) const = 0;
  virtual void SetEditText(ClockField field, const std::string& text) = 0;
  // Focus to the edit, its text selected, after a refused value.
  virtual void FocusEdit(ClockField field) = 0;
};

// The date-and-time dialog without its widgets: the time to show and the result, the three
// time-of-day fields, their exchange with the edits and the buttons' behaviour. GUI thread only.
class TimeDialogPresenter {
 public:
  // The end-of-scroll code a spinner sends after every move; it carries no position.
  static constexpr int kEndScroll = 8;
  // Shown for an edit that holds no number, and for a number outside its field's range.
  static constexpr const char* kNotANumberText = "Please enter a positive integer.";
  static constexpr const char* kRangeText = "Please enter an integer between %1 and %2.";
  static constexpr uint32_t kConversionFailed = 0xFFFFFFFF;

  // pcNow gives the PC's clock for "Как в комп.".
  TimeDialogPresenter(TimeDialogView& view, UserPrompts& prompts,
                      std::function<UtcSeconds()> pcNow = PcClockNow);

  // The value shown on entry (set before the dialog runs) and the result after OK.
  void SetTime(UtcSeconds time) { time_ = time; }
  UtcSeconds Time() const { return time_; }
  uint32_t Hour() const { return hour_; }
  uint32_t Minute() const { return minute_; }
  uint32_t Second() const { return second_; }

  // The fields into the edits, then ShowTime.
  void OnInitDialog();
  // Date, fields, spinners and edits from time, in local time.
  void ShowTime();
  // A spinner moved: sender is the field it belongs to, nothing for any other control.
  void OnSpinnerScroll(int scrollCode, int16_t position, std::optional<ClockField> sender);
  // The calendar shows another month (year, month 1..12): the selected day moves with it,
  // kept inside that month, so OK never takes a date that is not on screen.
  void OnCalendarPage(int year, int month);
  // "Как в комп.": the PC's clock at this moment, shown; the dialog stays open.
  void OnTakePcTime();
  // OK: true when the dialog ends with OK and Time() holds the chosen moment; false when a
  // message has been shown and the dialog stays open.
  bool OnOk();

  // The edits into the fields, each checked against its range; on a refused edit the message
  // has been shown, the focus is on that edit and the result is false.
  bool ReadFields();
  void WriteFields();

 private:
  uint32_t& Field(ClockField field);
  // Shows the platform's text for an invalid parameter with the stop icon.
  void ReportInvalidDate();

  TimeDialogView& view_;
  UserPrompts& prompts_;
  std::function<UtcSeconds()> pcNow_;
  UtcSeconds time_ = 0;
  uint32_t hour_ = 0;
  uint32_t minute_ = 0;
  uint32_t second_ = 0;
};

}  // namespace bf
