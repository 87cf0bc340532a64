#pragma once
#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "link/CameraCommands.h"
#include "link/PlugWatch.h"
#include "live/LinkLiveHost.h"
#include "live/LiveViewHost.h"
#include "mainwindow/MainWindowServices.h"
#include "mainwindow/MainWindowWidgets.h"

class QAbstractButton;
class QComboBox;
class QSlider;
class QTimer;

namespace bf {
class CBfkPlayer;
class FTDClass;
class GuiThreadPrompts;
class LinkThread;
class LiveCapture;
class Player;
class PlayerPanel;
}  // namespace bf

namespace bf::ui {

class PlayerGroupView;
class QtGuiQueue;
class RecordingExportView;

// The main window: every control of the template, the camera settings fields and their
// transfer to and from the controls, the camera control group, the camera-settings handlers,
// the hidden service buttons and closing. It owns the device link, the link thread, the picture
// window and the player group (PlayerGroupView), and shows the live view (LiveViewHost, the GUI
// side of LinkLiveHost). Its handlers reach the controls through typed members taken once from
// the control table.
//
// Threads: everything here runs on the GUI thread. Every exchange with the camera is posted to
// the link thread with a snapshot of what it needs of the controls; what it brings back (frames,
// the live view's state, a status, a question to the operator) comes as queued calls. A request
// posted while the live view runs goes out between two of its reads.
class CBrindleFlashDlg : public QDialog, public LiveViewHost {
  Q_OBJECT

 public:
  explicit CBrindleFlashDlg(MainWindowServices services, QWidget* parent = nullptr);
  ~CBrindleFlashDlg() override;

  // The initialisation sequence, handshake with the camera included. Call once before
  // showing the window.
  void OnInitDialog();

  // Watches for a bridge being plugged in or pulled (call before OnInitDialog): while the
  // camera controls are off and no camera work runs, probe is asked about once a second
  // whether a bridge is there, and a newly plugged one gets the start-up handshake again; a
  // failed exchange whose bridge is gone switches the camera controls off. An empty probe (a
  // backend without plug events) watches nothing.
  void WatchForPlugging(std::function<bool()> probe);
  // One tick of that watch; the window's timer calls it, tests call it directly.
  void OnPlugPoll();

  // The control with this id (1 for "Выход"), or nullptr: for tests, which address the
  // controls as the operator sees them.
  QWidget* Control(int id) const;
  template <class W>
  W* ControlAs(int id) const {
    return qobject_cast<W*>(Control(id));
  }

  void EnableCameraControls(bool on);
  // Puts a valid status on the controls; the camera controls are enabled by the caller once
  // the handshake has ended well.
  void ApplyCameraStatus(const CameraStatus& status);

  // LiveViewHost
  LiveState& State() override { return live_; }
  void ReadControls() override;
  void WriteControls() override;
  LiveViewState ButtonState() override;
  void SetButtonState(LiveViewState state) override;
  void EnableLiveLockedControls(bool on) override;
  bool ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) override;
  void ClearDisplay() override;
  void InvalidatePictureArea() override;

  // The Start/Stop button's caption, "Старт" or "Стоп".
  std::string StartStopCaption() const;
  // No camera work runs or waits on the link thread.
  bool LinkIdle() const;
  // The status handshake (at start-up, or after a bridge was plugged in) has not ended yet.
  bool HandshakeRunning() const { return handshakeRunning_; }
  // Nothing waits on the link thread, and the job under way is the live view's loop.
  bool OnlyLiveViewRuns() const;
  // The live view's state on the link thread; read it only while the link thread is idle.
  const LiveState& LinkLiveState() const { return liveHost_->State(); }

  CBfkPlayer& PlayerWindow() { return *player_; }
  Player& RecordingPlayer();
  PlayerPanel& Panel();
  FTDClass& Link() { return *link_; }
  RecordingExportView& ExportView() { return *exportView_; }

 signals:
  // The status handshake has ended, well or not (the camera controls are on when it went well).
  void handshakeEnded();

 public slots:
  // The close box and Escape: closes without saving anything. A live view running at that
  // moment is stopped as "Выход" stops it, so that its loop ends and the program can exit.
  void reject() override;

 protected:
#ifdef _WIN32
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  // Construction helpers.
  void BuildWindow();
  void ConnectHandlers();
  void ConnectCameraSettings();
  void ConnectServiceButtons();
  void SetUpVerifyCopyEntry();

  // By id, for the handlers that do not use the typed members yet.
  QAbstractButton* Button(int id) const;
  QSlider* Slider(int id) const;
  QComboBox* List(int id) const;
  void SetChecked(int id, bool checked);

  // Camera settings handlers.
  void OnFrameRateChanged();
  void OnColourChanged();
  void OnCompressionScrollEnded();
  void OnDetectorOn();
  void OnDetectorOff();
  void OnSensitivityScrollEnded();
  void OnAutonomousClicked();
  void OnLedsOffClicked();
  void OnExtRecordingClicked();
  void OnRotationClicked(int id);
  void OnStartStop();
  void OnSetClock();
  void OnFlashSave();
  void OnVerifyCopy();
  void OnFlashErase();
  // Hidden service buttons.
  void OnReadRx();
  void OnReconnect();
  void OnAllData();
  void OnTestCommand();
  // Closing with "Выход" or Enter.
  void OnOK();
  // Stops a running, non-autonomous stream for closing; link failures are ignored.
  void StopStreamForClose();

  // The status handshake, and the camera controls on when it ends well.
  void RunHandshake();
  // True while something else uses the link or holds the operator (a dialog, a message box).
  bool CameraWorkRunning() const;

  // Posts a link exchange to the link thread, inside the guard that shows a link failure. The
  // action runs there: it must capture what it needs by value.
  void Guarded(std::function<void()> action);
  // Posts a request to the link thread (run between two reads if the live view runs), after
  // giving the live view the controls' state of now.
  void PostToLink(std::function<void()> request);
  LiveInput CurrentLiveInput() const;

  MainWindowServices services_;
  std::unique_ptr<FTDClass> link_;
  std::map<int, QWidget*> controls_;
  MainWindowWidgets widgets_;
  CBfkPlayer* player_ = nullptr;  // child widget in place of control 1001
  // A member, not a child object: the player inside goes before the picture window it draws on.
  std::unique_ptr<PlayerGroupView> playerGroup_;
  Player* recordingPlayer_ = nullptr;  // the player group's player
  std::unique_ptr<QtGuiQueue> gui_;
  std::unique_ptr<GuiThreadPrompts> linkPrompts_;  // the prompts of flows on the link thread
  std::unique_ptr<LinkLiveHost> liveHost_;         // link thread
  std::unique_ptr<LiveCapture> liveCapture_;       // link thread
  RecordingExportView* exportView_ = nullptr;      // child object: context-menu exports

  // Fields bound to controls (ReadControls / WriteControls).
  int frameRateIndex_ = 0;
  int colourIndex_ = 0;
  int ledsOffFlag_ = 0;
  int extRecordingFlag_ = 0;
  LiveState live_;
  // What Start/Stop offers, as the live view last said; its caption shows it.
  LiveViewState liveViewState_ = LiveViewState::Off;
  bool cameraControlsOn_ = false;
  bool handshakeRunning_ = false;
  std::unique_ptr<PlugWatch> plugWatch_;  // null: plugging is not watched
  QTimer* plugTimer_ = nullptr;           // child object
  // Last: it is stopped and joined before anything its jobs use goes away.
  std::unique_ptr<LinkThread> linkThread_;
};

}  // namespace bf::ui
