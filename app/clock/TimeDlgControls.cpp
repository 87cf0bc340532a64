#include "clock/TimeDlgControls.h"

#include <array>

namespace bf::ui {
namespace {

using K = ControlKind;

constexpr std::array kControls = {
    ControlRow{IDC_TIME_OK, K::DefaultButton, "OK", 7, 148, 43, 14},
    ControlRow{IDC_TIME_CANCEL, K::PushButton, "Отмена", 107, 148, 43, 14},
    ControlRow{IDC_TIME_CALENDAR, K::MonthCalendar, "", 7, 7, 140, 100},
    ControlRow{IDC_TIME_HOUR, K::Edit, "", 31, 128, 17, 14},
    ControlRow{IDC_TIME_HOUR_SPIN, K::UpDown, "", 49, 128, 11, 14},
    ControlRow{IDC_TIME_MINUTE, K::Edit, "", 64, 128, 17, 14},
    ControlRow{IDC_TIME_MINUTE_SPIN, K::UpDown, "", 82, 128, 11, 14},
    ControlRow{IDC_TIME_SECOND, K::Edit, "", 97, 128, 17, 14},
    ControlRow{IDC_TIME_SECOND_SPIN, K::UpDown, "", 115, 128, 11, 14},
    // Ten spaces between the words put each one above its edit.
    ControlRow{0, K::Label, "час.          мин.          сек.", 32, 114, 84, 8},
    ControlRow{IDC_TIME_TAKE_PC, K::PushButton, "Как в комп.", 57, 148, 43, 14},
};

}  // namespace

std::span<const ControlRow> TimeDlgControls() {
  return kControls;
}

}  // namespace bf::ui
