#include "clock/TimeDialogPresenter.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "clock/FieldScan.h"
#include "host/ReportSystemError.h"

namespace bf {
namespace {

// The platform's code for an invalid parameter, whose text the dialog shows for a date the
// camera's clock cannot hold.
#ifdef _WIN32
constexpr uint32_t kInvalidParameterCode = 87;  // ERROR_INVALID_PARAMETER
#else
constexpr uint32_t kInvalidParameterCode = EINVAL;
#endif

constexpr ClockField kFields[] = {ClockField::Hour, ClockField::Minute, ClockField::Second};

uint32_t MaximumOf(ClockField field) {
  return field == ClockField::Hour ? 23 : 59;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string RangeMessage(uint32_t maximum) {
  std::string text = TimeDialogPresenter::kRangeText;
  text.replace(text.find("%1"), 2, "0");
  text.replace(text.find("%2"), 2, std::to_string(maximum));
  return text;
}

}  // namespace

TimeDialogPresenter::TimeDialogPresenter(TimeDialogView& view, UserPrompts& prompts,
                                         std::function<UtcSeconds()> pcNow)
    : view_(view), prompts_(prompts), pcNow_(std::move(pcNow)) {}

uint32_t& TimeDialogPresenter::Field(ClockField field) {
  switch (field) {
    case ClockField::Hour:
      return hour_;
    case ClockField::Minute:
      return minute_;
    case ClockField::Second:
      break;
  }
  return second_;
}

void TimeDialogPresenter::OnInitDialog() {
  WriteFields();
  ShowTime();
}

void TimeDialogPresenter::ShowTime() {
  const std::optional<LocalDateTime> local = ToLocalTime(time_);
  // A time the platform cannot convert leaves the calendar where it is.
  if (local) view_.SelectDate(local->date);
  hour_ = local ? static_cast<uint32_t>(local->hour) : kConversionFailed;
  minute_ = local ? static_cast<uint32_t>(local->minute) : kConversionFailed;
  second_ = local ? static_cast<uint32_t>(local->second) : kConversionFailed;
  // Spinner positions travel as 16-bit values; the control clamps what lies outside its range.
  for (ClockField field : kFields) {
    view_.SetSpinner(field, 0, static_cast<int>(MaximumOf(field)),
                     static_cast<int16_t>(static_cast<uint16_t>(Field(field))));
  }
  WriteFields();
}

void TimeDialogPresenter::OnSpinnerScroll(int scrollCode, int16_t position,
                                          std::optional<ClockField> sender) {
  if (scrollCode == kEndScroll) return;
  if (sender) Field(*sender) = static_cast<uint16_t>(position);
  // All three edits show the stored fields again: text typed but not yet read back is lost.
  WriteFields();
}

void TimeDialogPresenter::OnCalendarPage(int year, int month) {
  if (month < 1 || month > 12) return;
  const std::optional<CalendarDate> selected = view_.SelectedDate();
  if (selected && selected->year == year && selected->month == month) return;
  const int day = selected ? selected->day : 1;
  view_.SelectDate(CalendarDate{year, month, std::min(day, DaysInMonth(year, month))});
}

void TimeDialogPresenter::OnTakePcTime() {
  time_ = pcNow_();
  ShowTime();
}

void TimeDialogPresenter::WriteFields() {
  for (ClockField field : kFields) view_.SetEditText(field, std::to_string(Field(field)));
}

bool TimeDialogPresenter::ReadFields() {
  for (ClockField field : kFields) {
    const std::optional<uint32_t> value = ScanUnsignedField(view_.EditText(field));
    if (!value) {
      prompts_.ShowMessage(kNotANumberText, "", MessageIcon::None, MessageButtons::Ok);
      view_.FocusEdit(field);
      return false;
    }
    // The field takes the number before its range is checked, as the exchange stores first.
    Field(field) = *value;
    if (*value > MaximumOf(field)) {
      prompts_.ShowMessage(RangeMessage(MaximumOf(field)), "", MessageIcon::Warning,
                           MessageButtons::Ok);
      view_.FocusEdit(field);
      return false;
    }
  }
  return true;
}

void TimeDialogPresenter::ReportInvalidDate() {
  prompts_.ShowMessage(SystemErrorText(kInvalidParameterCode), "", MessageIcon::Error,
                       MessageButtons::Ok);
}

bool TimeDialogPresenter::OnOk() {
  const std::optional<CalendarDate> date = view_.SelectedDate();
  // Dates from 1900 on are converted as local time; an earlier year counts as the first day of
  // 1970 in universal time, so only the time of day is sent.
  const bool localDate = date && date->year >= 1900;
  if (date) {
    if (localDate) {
      const std::optional<UtcSeconds> midnight = FromLocalTime(*date, 0, 0, 0);
      if (!midnight) {
        ReportInvalidDate();
        return false;
      }
      time_ = *midnight;
    } else {
      time_ = 0;
    }
  }
  if (!ReadFields()) return false;

  std::optional<UtcSeconds> result;
  if (localDate) {
    // Date and time of day are converted together, so that on the day daylight saving starts or
    // ends the camera gets the wall-clock reading that was entered, not one an hour off it.
    result = FromLocalTime(*date, static_cast<int>(hour_), static_cast<int>(minute_),
                           static_cast<int>(second_));
  } else {
    result = time_ + static_cast<UtcSeconds>(hour_) * 3600 + static_cast<UtcSeconds>(minute_) * 60 +
             static_cast<UtcSeconds>(second_);
  }
  // The camera's clock ends in 2106; a later moment would reach it as its low 32 bits, a date
  // decades away from the one chosen.
  if (!result || *result < 0 || *result > UtcSeconds{std::numeric_limits<uint32_t>::max()}) {
    ReportInvalidDate();
    return false;
  }
  time_ = *result;
  return true;
}

}  // namespace bf
