#pragma once

namespace bf::ui {

// Numeric ids of the main window's controls. Tests and handlers find widgets by these ids
// (CBrindleFlashDlg::Control), and each widget's objectName is its id in decimal.
enum ControlId : int {
  IDOK_EXIT = 1,          // "Выход", the default button
  IDC_FLASH_SAVE = 1000,  // "Сохранить на диск..."
  IDC_PICTURE = 1001,     // picture area; the player takes its place
  IDC_READ_RX = 1002,     // hidden service buttons
  IDC_CUB = 1003,
  IDC_ALL_DATA = 1004,
  IDC_FLASH_ERASE = 1005,  // "Стереть"
  IDC_SET_CLOCK = 1007,    // "Установить время..."
  IDC_FRAME_RATE = 1016,   // frame-rate list
  IDC_START_STOP = 1017,   // push-like "Старт"/"Стоп"
  IDC_COLOUR = 1018,       // colour list
  IDC_COMPRESSION = 1020,  // vertical slider 0..4
  IDC_DETECTOR_ON = 1021,
  IDC_DETECTOR_OFF = 1022,
  IDC_SENSITIVITY = 1023,  // horizontal slider 0..5
  IDC_AUTONOMOUS = 1025,
  IDC_FLASH_POINTER = 1026,  // hidden, disabled edit
  IDC_OPEN = 1032,           // "Открыть..."
  IDC_PLAY = 1033,
  IDC_STOP = 1034,
  IDC_POSITION = 1035,  // position slider
  IDC_NEXT = 1036,
  IDC_PREVIOUS = 1037,
  IDC_BEGIN = 1038,
  IDC_END = 1039,
  IDC_LIKE_ORIGINAL = 1041,
  IDC_OTHER_RATE = 1042,
  IDC_RATE_EDIT = 1043,
  IDC_RATE_SPIN = 1044,
  IDC_EXPORT = 1045,
  IDC_LEDS_OFF = 1046,
  IDC_EXT_RECORDING = 1047,
  IDC_ROTATE_0 = 1048,
  IDC_ROTATE_90 = 1049,
  IDC_ROTATE_180 = 1050,
  IDC_ROTATE_270 = 1051,
  IDC_TEST = 1052,  // hidden "ZuTest1"
};

}  // namespace bf::ui
