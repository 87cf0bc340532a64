#pragma once
#include <QObject>
#include <memory>

#include "live/CameraSettingsPanel.h"
#include "mainwindow/MainWindowWidgets.h"
#include "mainwindow/QuietTimer.h"

namespace bf {
class CBfkPlayer;
}  // namespace bf

namespace bf::ui {

class PlayerGroupView;

// The main window's camera controls (Start/Stop, "Автономно", "Выключить светодиоды", "Внешняя
// запись", the rotation radios, the two lists, the compression and sensitivity sliders, the
// detector radios) and the locks on "Установить время...", "Сохранить на диск...", "Стереть" and
// "Открыть...": it wires them to the camera-settings presenter (CameraSettingsPanel), which it
// owns, and draws the presenter's state on them; it reads no state back from them. The live
// view's pictures go to the player group's player, the rotation to the picture window.
//
// Owned by the window as a member; it must go after the link thread whose jobs use the
// presenter. Threads: GUI thread only.
class CameraGroupView final : public QObject, private CameraSettingsView {
  Q_OBJECT

 public:
  CameraGroupView(QObject* parent, const MainWindowWidgets& widgets, CBfkPlayer& picture,
                  PlayerGroupView& playerGroup, CameraSettingsPanel::Link link,
                  const QuietTimerFactory& quietTimers);
  ~CameraGroupView() override;

  CameraSettingsPanel& Panel() { return *panel_; }

 private:
  void Connect(const QuietTimerFactory& quietTimers);
  void ConnectChecks();

  // CameraSettingsView
  void ShowCameraSettings(const CameraSettingsState& state) override;
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void ClearDisplay() override;
  void InvalidatePictureArea() override;
  void ShowChecks(const CameraSettingsState& state);
  void ShowSliders(const CameraSettingsState& state);
  void ShowEnabled(const CameraSettingsState& state);

  MainWindowWidgets w_;
  CBfkPlayer& picture_;
  PlayerGroupView& playerGroup_;
  std::unique_ptr<CameraSettingsPanel> panel_;
  // The slider positions last drawn: a slider is set only when the presenter moved it, so a
  // move of the operator's under way (a key held, a drag) is never pulled back.
  int shownCompression_ = -1;
  int shownSensitivity_ = -1;
};

}  // namespace bf::ui
