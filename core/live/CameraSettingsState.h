#pragma once
#include <cstdint>

#include "live/LiveViewHost.h"

namespace bf {

// Everything the main window's camera controls show, held by the camera-settings presenter
// (CameraSettingsPanel) and drawn by the window as it stands; the window reads none of it back
// from its controls.
struct CameraSettingsState {
  // The camera controls (Start/Stop, the three check boxes, the two lists, the compression
  // slider, the detector radios), switched together.
  bool controlsOn = false;
  // "Установить время...", "Сохранить на диск...", "Стереть" and the rotation radios: switched
  // with the camera controls and locked by the live view, the later of the two deciding.
  bool jobsOn = false;
  // "Открыть...", which only the live view locks.
  bool openOn = true;

  // The frame-rate and colour lists' selections; an index beyond the items (a status byte
  // beyond the table) shows no selection.
  int frameRateIndex = 0;
  int colourIndex = 0;  // 0 "Черно-белый", 1 "Цветной"
  // Slider positions: compression with 0 at the top, sensitivity with 0 at the left ("0%").
  int compression = 0;
  int sensitivity = 0;
  bool ledsOff = false;
  bool extRecording = false;
  // The picture's rotation in quarter turns clockwise (0..3), its radio checked.
  int rotation = 0;

  // streamingFlag: the Start/Stop button pushed in; autonomousFlag: "Автономно" checked;
  // frameTimeout: which detector radio is checked (none while it is 0, before any status).
  LiveState live;
  // What Start/Stop offers; its caption, "Старт" or "Стоп", shows it.
  LiveViewState liveView = LiveViewState::Off;

  bool Streaming() const { return live.streamingFlag != 0; }
  bool DetectorOnChecked() const { return live.frameTimeout == kFrameTimeoutUnlimited; }
  bool DetectorOffChecked() const { return live.frameTimeout == kFrameTimeoutDetectorOff; }
  // The sensitivity slider is usable only with the camera controls on and the detector on.
  bool SensitivityEnabled() const { return controlsOn && DetectorOnChecked(); }
};

}  // namespace bf
