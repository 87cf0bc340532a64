#include "mainwindow/MainWindowWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "link/CameraCommands.h"
#include "mainwindow/ControlIds.h"
#include "shell/ControlBuilder.h"

namespace bf::ui {
namespace {

template <class W>
void Take(const std::map<int, QWidget*>& controls, int id, W*& into) {
  into = TakeControl<W>(controls, id);
}

}  // namespace

MainWindowWidgets MainWindowWidgets::Find(const std::map<int, QWidget*>& controls) {
  MainWindowWidgets w;
  Take(controls, IDC_START_STOP, w.startStop);
  Take(controls, IDC_AUTONOMOUS, w.autonomous);
  Take(controls, IDC_LEDS_OFF, w.ledsOff);
  Take(controls, IDC_EXT_RECORDING, w.extRecording);
  Take(controls, IDC_ROTATE_0, w.rotation[0]);
  Take(controls, IDC_ROTATE_90, w.rotation[1]);
  Take(controls, IDC_ROTATE_180, w.rotation[2]);
  Take(controls, IDC_ROTATE_270, w.rotation[3]);
  Take(controls, IDC_FRAME_RATE, w.frameRate);
  Take(controls, IDC_COLOUR, w.colour);
  Take(controls, IDC_SET_CLOCK, w.setClock);
  Take(controls, IDC_COMPRESSION, w.compression);
  Take(controls, IDC_DETECTOR_ON, w.detectorOn);
  Take(controls, IDC_DETECTOR_OFF, w.detectorOff);
  Take(controls, IDC_SENSITIVITY, w.sensitivity);
  Take(controls, IDC_FLASH_SAVE, w.flashSave);
  Take(controls, IDC_FLASH_ERASE, w.flashErase);
  Take(controls, IDC_OPEN, w.open);
  Take(controls, IDOK_EXIT, w.exit);
  Take(controls, IDC_READ_RX, w.readRx);
  Take(controls, IDC_CUB, w.reconnect);
  Take(controls, IDC_ALL_DATA, w.allData);
  Take(controls, IDC_TEST, w.test);
  Take(controls, IDC_FLASH_POINTER, w.flashPointer);
  return w;
}

void MainWindowWidgets::FillLists() {
  frameRate->clear();
  for (const char* text : kFrameRateTexts) frameRate->addItem(QString::fromUtf8(text));
  colour->clear();
  for (const char* text : kColourTexts) colour->addItem(QString::fromUtf8(text));
}

void MainWindowWidgets::SetUpSliders() {
  compression->setTickPosition(QSlider::TicksRight);
  compression->setInvertedAppearance(true);  // the top end is 0, best compression
  compression->setInvertedControls(true);
  compression->setTickInterval(1);
  compression->setSingleStep(1);
  compression->setPageStep(1);
  compression->setRange(0, 4);
  sensitivity->setTickPosition(QSlider::TicksBelow);
  sensitivity->setTickInterval(1);
  sensitivity->setSingleStep(1);
  sensitivity->setPageStep(1);
  sensitivity->setRange(0, 5);
}

std::array<QWidget*, 9> MainWindowWidgets::CameraControls() const {
  return {startStop,  autonomous,  frameRate, colour,      compression,
          detectorOn, detectorOff, ledsOff,   extRecording};
}

std::array<QWidget*, 7> MainWindowWidgets::JobControls() const {
  return {setClock, flashSave, flashErase, rotation[0], rotation[1], rotation[2], rotation[3]};
}

}  // namespace bf::ui
