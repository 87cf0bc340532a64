#include "mainwindow/ControlTable.h"

#include <array>

#include "mainwindow/ControlIds.h"
#include "shell/Icons.h"

namespace bf::ui {
namespace {

using K = ControlKind;

// Captions are the window's fixed Russian texts; the six icon buttons keep their one- and
// two-letter captions for accessibility even though they show icons.
constexpr std::array kControls = {
    ControlRow{IDC_PICTURE, K::StaticFrame, "", 19, 20, 236, 236},
    ControlRow{0, K::GroupFrame, "Изображение", 14, 7, 246, 254},
    ControlRow{IDC_POSITION, K::HorizontalSlider, "", 15, 262, 246, 15},
    ControlRow{IDC_OPEN, K::PushButton, "Открыть...", 45, 282, 40, 14},
    ControlRow{IDC_BEGIN, K::IconButton, "B", 87, 282, 15, 14, true, true, IDI_BEGIN},
    ControlRow{IDC_PREVIOUS, K::IconButton, "Pr", 105, 282, 15, 14, true, true, IDI_PREVIOUS},
    ControlRow{IDC_PLAY, K::IconButton, "Pl", 123, 282, 15, 14, true, true, IDI_PLAY},
    ControlRow{IDC_STOP, K::IconButton, "S", 141, 282, 15, 14, true, true, IDI_STOP},
    ControlRow{IDC_NEXT, K::IconButton, "N", 159, 282, 15, 14, true, true, IDI_NEXT},
    ControlRow{IDC_END, K::IconButton, "E", 177, 282, 15, 14, true, true, IDI_END},
    ControlRow{IDC_EXPORT, K::PushButton, "Сохранить", 195, 282, 42, 14},
    ControlRow{0, K::GroupFrame, "Скорость (кадров в секунду):", 15, 303, 246, 49},
    ControlRow{IDC_LIKE_ORIGINAL, K::RadioButton, "Как в оригинале", 43, 327, 72, 10},
    ControlRow{IDC_OTHER_RATE, K::RadioButton, "Другая:", 141, 327, 43, 10},
    ControlRow{IDC_RATE_EDIT, K::Edit, "", 185, 323, 24, 14, true, false},
    ControlRow{IDC_RATE_SPIN, K::UpDown, "", 211, 323, 11, 14},
    ControlRow{IDC_START_STOP, K::PushLikeCheck, "Старт", 340, 7, 66, 16},
    ControlRow{IDC_AUTONOMOUS, K::CheckBox, "Автономно", 286, 10, 52, 10},
    ControlRow{IDC_LEDS_OFF, K::CheckBox, "Выключить светодиоды", 286, 23, 97, 10},
    ControlRow{IDC_EXT_RECORDING, K::CheckBox, "Внешняя запись", 286, 36, 72, 10},
    ControlRow{0, K::GroupFrame, "Поворот (градусов)", 287, 49, 119, 33},
    ControlRow{IDC_ROTATE_0, K::RadioButton, "0", 293, 63, 20, 10},
    ControlRow{IDC_ROTATE_90, K::RadioButton, "90", 315, 63, 24, 10},
    ControlRow{IDC_ROTATE_180, K::RadioButton, "180", 341, 63, 28, 10},
    ControlRow{IDC_ROTATE_270, K::RadioButton, "270", 371, 63, 28, 10},
    ControlRow{0, K::Label, "Скорость", 285, 88, 0, 8},
    ControlRow{IDC_FRAME_RATE, K::DropDownList, "", 333, 86, 73, 87},
    ControlRow{0, K::Label, "Цвет", 285, 104, 0, 8},
    ControlRow{IDC_COLOUR, K::DropDownList, "", 333, 102, 73, 41},
    ControlRow{IDC_SET_CLOCK, K::PushButton, "Установить время...", 285, 120, 121, 14},
    ControlRow{0, K::GroupFrame, "Сжатие", 285, 136, 120, 70},
    ControlRow{IDC_COMPRESSION, K::VerticalSlider, "", 377, 147, 20, 54},
    ControlRow{0, K::Label, "Наилучшее сжатие", 305, 152, 0, 8},
    ControlRow{0, K::Label, "Наилучшее качество", 305, 190, 0, 8},
    ControlRow{0, K::GroupFrame, "Детектор движения", 285, 211, 120, 74},
    ControlRow{IDC_DETECTOR_ON, K::RadioButton, "Включен", 293, 227, 45, 10},
    ControlRow{IDC_DETECTOR_OFF, K::RadioButton, "Выключен", 293, 240, 51, 10},
    ControlRow{0, K::Label, "Чувствительность:", 311, 254, 0, 8},
    ControlRow{0, K::Label, "0%", 291, 264, 0, 8},
    ControlRow{0, K::Label, "100%", 383, 264, 0, 8, true, true, 0, TextAlign::Right},
    ControlRow{IDC_SENSITIVITY, K::HorizontalSlider, "", 307, 264, 75, 15},
    ControlRow{0, K::GroupFrame, "Флеш-память", 285, 288, 120, 47},
    ControlRow{IDC_FLASH_SAVE, K::PushButton, "Сохранить на диск...", 301, 302, 90, 14},
    ControlRow{IDC_FLASH_ERASE, K::PushButton, "Стереть", 301, 318, 90, 14},
    ControlRow{IDOK_EXIT, K::DefaultButton, "Выход", 285, 340, 121, 14},
    ControlRow{IDC_READ_RX, K::PushButton, "Read Rx", 263, 160, 18, 14, false},
    ControlRow{IDC_CUB, K::PushButton, "CUB", 263, 126, 20, 14, false},
    ControlRow{IDC_ALL_DATA, K::PushButton, "AllData", 261, 144, 21, 14, false},
    ControlRow{IDC_TEST, K::PushButton, "ZuTest1", 205, 300, 61, 14, false},
    ControlRow{IDC_FLASH_POINTER, K::Edit, "", 261, 206, 21, 14, false, false},
};

}  // namespace

std::span<const ControlRow> MainWindowControls() {
  return kControls;
}

const ControlRow* FindControlRow(int id) {
  for (const ControlRow& control : kControls) {
    if (control.id == id && id != 0) return &control;
  }
  return nullptr;
}

}  // namespace bf::ui
