#pragma once
#include <QDialog>
#include <functional>
#include <memory>

#include "link/CameraCommands.h"
#include "link/PlugWatch.h"
#include "live/CameraSettingsPanel.h"
#include "mainwindow/MainWindowServices.h"
#include "mainwindow/MainWindowWidgets.h"

class QTimer;

namespace bf {
class CBfkPlayer;
class FTDClass;
class GuiThreadPrompts;
class LinkThread;
class Player;
class PlayerPanel;
}  // namespace bf

namespace bf::ui {

class CameraGroupView;
class PlayerGroupView;
class QtGuiQueue;
class RecordingExportView;

// The main window: builds every control of the template and takes typed members for them, owns
// the device link, the link thread, the picture window, the camera controls (CameraGroupView
// with the camera-settings presenter) and the player group (PlayerGroupView with its
// presenter), and handles what is neither: the clock, the flash jobs, the hidden service
// buttons, the start-up handshake and plugging, and closing.
//
// Threads: everything here runs on the GUI thread. Every exchange with the camera is posted to
// the link thread with a snapshot of the live view's input; what it brings back (frames, the
// live view's state, a status, a question to the operator) comes as queued calls. A request
// posted while the live view runs goes out between two of its reads.
class CBrindleFlashDlg : public QDialog {
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

  // No camera work runs or waits on the link thread.
  bool LinkIdle() const;
  // The status handshake (at start-up, or after a bridge was plugged in) has not ended yet.
  bool HandshakeRunning() const { return handshakeRunning_; }
  // Nothing waits on the link thread, and the job under way is the live view's loop.
  bool OnlyLiveViewRuns() const;

  CBfkPlayer& PlayerWindow() { return *player_; }
  Player& RecordingPlayer();
  PlayerPanel& Panel();
  CameraSettingsPanel& Camera() const;
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
  void ConnectServiceButtons();
  void SetUpVerifyCopyEntry();

  void OnSetClock();
  void OnFlashSave();
  void OnVerifyCopy();
  void OnFlashErase();
  // Closing with "Выход" or Enter.
  void OnOK();

  // The status handshake, and the camera controls on when it ends well.
  void RunHandshake();
  // True while something else uses the link or holds the operator (a dialog, a message box).
  bool CameraWorkRunning() const;

  // Posts a request to the link thread (run between two reads if the live view runs), after
  // giving the live view the controls' state of now.
  void PostToLink(std::function<void()> request);

  MainWindowServices services_;
  std::unique_ptr<FTDClass> link_;
  MainWindowWidgets widgets_;
  CBfkPlayer* player_ = nullptr;  // child widget in place of control 1001
  // A member, not a child object: the player inside goes before the picture window it draws on.
  std::unique_ptr<PlayerGroupView> playerGroup_;
  std::unique_ptr<QtGuiQueue> gui_;
  std::unique_ptr<GuiThreadPrompts> linkPrompts_;  // the prompts of flows on the link thread
  RecordingExportView* exportView_ = nullptr;      // child object: context-menu exports
  bool handshakeRunning_ = false;
  std::unique_ptr<PlugWatch> plugWatch_;  // null: plugging is not watched
  QTimer* plugTimer_ = nullptr;           // child object
  // Its presenter's live view runs in link-thread jobs: it goes after the link thread.
  std::unique_ptr<CameraGroupView> cameraGroup_;
  // Last: it is stopped and joined before anything its jobs use goes away.
  std::unique_ptr<LinkThread> linkThread_;
};

}  // namespace bf::ui
