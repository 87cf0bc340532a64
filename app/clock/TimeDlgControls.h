#pragma once
#include <span>

#include "shell/ControlRow.h"

namespace bf::ui {

// Control ids of the date-and-time dialog. Each widget's objectName is its id in decimal.
enum TimeDlgControlId : int {
  IDC_TIME_OK = 1,
  IDC_TIME_CANCEL = 2,
  IDC_TIME_TAKE_PC = 1000,  // "Как в комп."
  IDC_TIME_CALENDAR = 1006,
  IDC_TIME_HOUR = 1008,
  IDC_TIME_HOUR_SPIN = 1009,
  IDC_TIME_MINUTE = 1010,
  IDC_TIME_MINUTE_SPIN = 1011,
  IDC_TIME_SECOND = 1012,
  IDC_TIME_SECOND_SPIN = 1013,
};

// Client area of the dialog, in dialog units.
inline constexpr int kTimeDlgWidthDlu = 157;
inline constexpr int kTimeDlgHeightDlu = 169;

// Every control of the dialog in tab order: OK, "Отмена", calendar, hours, minutes, seconds,
// "Как в комп."; the spinners and the label sit between them but take no focus.
std::span<const ControlRow> TimeDlgControls();

}  // namespace bf::ui
