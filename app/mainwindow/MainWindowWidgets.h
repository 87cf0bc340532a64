#pragma once
#include <array>
#include <map>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QWidget;

namespace bf::ui {

// The main window's own controls outside the player group, typed, taken once from those the
// control builder made (by id). Borrowed: the window owns the widgets.
struct MainWindowWidgets {
  QPushButton* startStop = nullptr;  // push-like "Старт"/"Стоп"
  QCheckBox* autonomous = nullptr;
  QCheckBox* ledsOff = nullptr;
  QCheckBox* extRecording = nullptr;
  std::array<QRadioButton*, 4> rotation{};  // 0°, 90°, 180°, 270°
  QComboBox* frameRate = nullptr;
  QComboBox* colour = nullptr;
  QPushButton* setClock = nullptr;
  QSlider* compression = nullptr;
  QRadioButton* detectorOn = nullptr;
  QRadioButton* detectorOff = nullptr;
  QSlider* sensitivity = nullptr;
  QPushButton* flashSave = nullptr;
  QPushButton* flashErase = nullptr;
  QPushButton* open = nullptr;  // the player group's, locked by the live view too
  QPushButton* exit = nullptr;  // "Выход"
  QPushButton* readRx = nullptr;
  QPushButton* reconnect = nullptr;  // "CUB"
  QPushButton* allData = nullptr;
  QPushButton* test = nullptr;        // "ZuTest1"
  QLineEdit* flashPointer = nullptr;  // hidden, disabled

  // Every field filled; throws std::logic_error when the table lacks a control or gave it
  // another kind.
  static MainWindowWidgets Find(const std::map<int, QWidget*>& controls);

  // The items of the frame-rate and colour lists; the ranges, steps and ticks of the
  // compression and sensitivity sliders.
  void FillLists();
  void SetUpSliders();

  // Switched by EnableCameraControls alone (the sensitivity slider follows the detector too).
  std::array<QWidget*, 9> CameraControls() const;
  // Switched by EnableCameraControls and locked while the live view runs: the jobs that must not
  // talk to the camera or turn the picture meanwhile.
  std::array<QWidget*, 7> JobControls() const;
};

}  // namespace bf::ui
