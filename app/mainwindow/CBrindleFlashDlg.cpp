#include "mainwindow/CBrindleFlashDlg.h"

#include <QPushButton>
#include <QRadioButton>

#include "flash/CProgressDlg.h"
#include "host/GuiThreadPrompts.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "mainwindow/AboutEntry.h"
#include "mainwindow/CameraGroupView.h"
#include "mainwindow/ControlIds.h"
#include "mainwindow/ControlTable.h"
#include "mainwindow/PlayerGroupView.h"
#include "mainwindow/RecordingExportView.h"
#include "mainwindow/ReviewEntry.h"
#include "picture/CBfkPlayer.h"
#include "recordings/Player.h"
#include "shell/ControlBuilder.h"
#include "shell/Icons.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {

CBrindleFlashDlg::CBrindleFlashDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      link_(std::make_unique<FTDClass>(services_.backend, services_.ticks)) {
  BuildWindow();
  gui_ = std::make_unique<QtGuiQueue>();
  linkPrompts_ = std::make_unique<GuiThreadPrompts>(services_.prompts, *gui_);
  linkThread_ = std::make_unique<LinkThread>();
  cameraGroup_ = std::make_unique<CameraGroupView>(
      this, widgets_, *player_, *playerGroup_,
      CameraSettingsPanel::Link{*link_, *linkThread_, *gui_, *linkPrompts_, services_.ticks},
      services_.quietTimers);
  ConnectHandlers();
}

CBrindleFlashDlg::~CBrindleFlashDlg() {
  // A live view still running would keep the link thread for ever: it is stopped as the close
  // box stops it; a copy still running is cancelled by its dialog. What the link thread still
  // asks or posts is dropped from here on, so it ends without this thread's help.
  if (Camera().State().liveView == LiveViewState::Running) Camera().StopStreamForClose();
  qDeleteAll(findChildren<CProgressDlg*>(Qt::FindDirectChildrenOnly));
  gui_->Close();
  linkThread_->WaitIdle();
}

bool CBrindleFlashDlg::LinkIdle() const {
  return linkThread_->Idle();
}

bool CBrindleFlashDlg::OnlyLiveViewRuns() const {
  return linkThread_->NothingWaiting() && cameraGroup_->Panel().LoopRunning();
}

void CBrindleFlashDlg::PostToLink(std::function<void()> request) {
  Camera().Post(std::move(request));
}

void CBrindleFlashDlg::BuildWindow() {
  setWindowTitle(QStringLiteral("BrindleFlash"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  const std::map<int, QWidget*> controls =
      BuildControls(this, MainWindowControls(), units, [this](const ControlRow& control) {
        // The player window is bound to the picture area and takes its place.
        auto* player = new CBfkPlayer(services_.headers, this);
        player->Attach(control.id);
        player_ = player;
        return static_cast<QWidget*>(player);
      });
  widgets_ = MainWindowWidgets::Find(controls);
  playerGroup_ = std::make_unique<PlayerGroupView>(
      this, controls, *player_,
      PlayerGroupView::Services{services_.prompts, services_.settings, services_.timer,
                                services_.headers},
      PlayerGroupView::WindowHooks{[this](bool on) { Camera().EnableCameraControls(on); },
                                   [this] { return link_->GetStatusCode() == ftstatus::kOk; }});
  setFixedSize(DialogXToPixels(kDialogWidthDlu, units), DialogYToPixels(kDialogHeightDlu, units));
}

void CBrindleFlashDlg::ConnectHandlers() {
  connect(widgets_.setClock, &QPushButton::clicked, this, [this] { OnSetClock(); });
  connect(widgets_.flashSave, &QPushButton::clicked, this, [this] { OnFlashSave(); });
  connect(widgets_.flashErase, &QPushButton::clicked, this, [this] { OnFlashErase(); });
  ConnectServiceButtons();
  connect(widgets_.exit, &QPushButton::clicked, this, [this] { OnOK(); });
  // The exports take the recording the player group opened and its pacing choice.
  PlayerPanel& panel = playerGroup_->Panel();
  exportView_ = new RecordingExportView(
      this, services_.prompts, services_.headers,
      RecordingExportView::Source{[&panel] { return panel.RecordingPath(); },
                                  [&panel] { return panel.ExportRate(); }});
  AddReviewEntry(*this, services_.prompts, services_.settings, services_.headers, services_.timer,
                 ReviewSource{[&panel] { return panel.RecordingPath(); },
                              [this] { return player_->GetRotation(); }});
  SetUpVerifyCopyEntry();
  AddAboutEntry(*this);
}

Player& CBrindleFlashDlg::RecordingPlayer() {
  return playerGroup_->RecordingPlayer();
}

PlayerPanel& CBrindleFlashDlg::Panel() {
  return playerGroup_->Panel();
}

CameraSettingsPanel& CBrindleFlashDlg::Camera() const {
  return cameraGroup_->Panel();
}

void CBrindleFlashDlg::OnInitDialog() {
  // 1. Controls attached; fields to controls.
  widgets_.FillLists();
  Camera().Show();

  // 2. About in the system menu where there is one; the application icon.
  AddAboutToSystemMenu(*this);
  setWindowIcon(LoadAppIcon(IDR_MAINFRAME));

  // 3. to 7. Sliders; the player group's slider, rate ("Player fps"), playback mode ("Like
  // original"), rate spin and button icons; autonomous off.
  widgets_.SetUpSliders();
  playerGroup_->SetUp();
  Camera().ClearAutonomous();

  // 8. Both groups off until a camera or a recording is there.
  Camera().EnableCameraControls(false);
  playerGroup_->Panel().EnableControls(false);

  // 9. A recording named on the command line.
  playerGroup_->Panel().LoadRecording(services_.commandLine);

  // 10. Picture placement and rotation.
  player_->SetOffset(0, 20);
  Camera().OnRotationSelected(0);

  // 11. Camera status handshake, on the link thread: the camera controls come on when it has
  // ended well, and its messages are shown over the window.
  RunHandshake();
}

#ifdef _WIN32
bool CBrindleFlashDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (IsAboutCommand(message)) {
    ShowAboutBox(this);
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

void CBrindleFlashDlg::reject() {
  // Left running, the live loop would keep a hidden window streaming for ever.
  if (Camera().State().liveView == LiveViewState::Running) Camera().StopStreamForClose();
  QDialog::reject();
}

void CBrindleFlashDlg::OnOK() {
  Camera().StopStreamForClose();
  RecordingPlayer().StopPlayback();
  RecordingPlayer().ClearDisplay();
  if (!playerGroup_->Panel().SaveSettings()) {
    // The window closes all the same; the operator learns that the choice will not be there.
    services_.prompts.ShowMessage(kSettingsNotSavedText, "", MessageIcon::Warning);
  }
  accept();
}

}  // namespace bf::ui
