#pragma once
#include <QObject>
#include <functional>
#include <map>
#include <memory>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsStore.h"
#include "host/UserPrompts.h"
#include "recordings/PlaybackTimer.h"
#include "recordings/PlayerPanel.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QWidget;

namespace bf {
class CBfkPlayer;
class FrameDisplay;
class Player;
}  // namespace bf

namespace bf::ui {

class UpDownControl;

// The main window's player group: its controls ("Открыть...", the six player buttons, the
// position slider, "Сохранить", the mode radio buttons, the rate edit and spin), the recording
// player behind them and the group's presenter (PlayerPanel). It wires the controls to the
// presenter and draws the presenter's state on them; it reads no state back from them.
//
// Owned by the window as a member (not a child object), so that the player, whose destructor
// waits out a playback step drawing on the picture window, goes before the window's children.
//
// Threads: GUI thread only. Playback steps run on the playback timer's thread inside the
// Player; their position messages reach the presenter queued to this object.
class PlayerGroupView final : public QObject, private PlayerPanelView {
  Q_OBJECT

 public:
  struct Services {
    UserPrompts& prompts;
    SettingsStore& settings;
    PlaybackTimer& timer;
    const JpegHeaderTable& headers;
  };
  // What the group needs of the rest of the window.
  struct WindowHooks {
    std::function<void(bool)> enableCameraControls;
    std::function<bool()> linkStatusOk;  // the device link's last status is 0
  };

  // Takes the group's controls from those the control builder made for the window (by id)
  // and the picture window the player shows its frames in.
  PlayerGroupView(QWidget* window, const std::map<int, QWidget*>& controls, CBfkPlayer& picture,
                  Services services, WindowHooks hooks);
  ~PlayerGroupView() override;

  // The group's part of the window's initialisation: slider ticks, "Player fps" and "Like
  // original" with the rate mode told to the player, the spin's range and the button icons.
  void SetUp();

  Player& RecordingPlayer() { return *player_; }
  PlayerPanel& Panel() { return *panel_; }
  // Erases the picture area and the overlay strip above it: the window from its client origin
  // to the picture's size plus 30 pixels.
  void InvalidatePictureArea();

 private:
  struct Widgets {
    QPushButton* open = nullptr;
    QPushButton* begin = nullptr;
    QPushButton* previous = nullptr;
    QPushButton* play = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* next = nullptr;
    QPushButton* end = nullptr;
    QPushButton* save = nullptr;
    QSlider* position = nullptr;
    QRadioButton* likeOriginal = nullptr;
    QRadioButton* otherRate = nullptr;
    QLineEdit* rateEdit = nullptr;
    UpDownControl* rateSpin = nullptr;
  };
  static Widgets FindWidgets(const std::map<int, QWidget*>& controls);
  void Connect();

  // PlayerPanelView
  void ShowPlayerGroup(const PlayerGroupState& state) override;
  void EnableCameraControls(bool on) override;
  bool LinkStatusOk() override;

  QWidget* window_;
  CBfkPlayer& picture_;
  Services services_;
  WindowHooks hooks_;
  Widgets w_;
  std::unique_ptr<FrameDisplay> display_;
  std::unique_ptr<Player> player_;
  std::unique_ptr<PlayerPanel> panel_;
};

}  // namespace bf::ui
