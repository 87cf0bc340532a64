#include "mainwindow/CBrindleFlashDlg.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "flash/CProgressDlg.h"
#include "host/GuiThreadPrompts.h"
#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "live/LiveCapture.h"
#include "mainwindow/AboutEntry.h"
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
namespace {

// The Start/Stop button's captions for the two states of the live view.
constexpr const char* kStartCaption = "Старт";
constexpr const char* kStopCaption = "Стоп";

}  // namespace

CBrindleFlashDlg::CBrindleFlashDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      link_(std::make_unique<FTDClass>(services_.backend, services_.ticks)) {
  BuildWindow();
  playerGroup_ = std::make_unique<PlayerGroupView>(
      this, controls_, *player_,
      PlayerGroupView::Services{services_.prompts, services_.settings, services_.timer,
                                services_.headers},
      PlayerGroupView::WindowHooks{[this](bool on) { EnableCameraControls(on); },
                                   [this] { return link_->GetStatusCode() == ftstatus::kOk; }});
  recordingPlayer_ = &playerGroup_->RecordingPlayer();
  gui_ = std::make_unique<QtGuiQueue>();
  linkPrompts_ = std::make_unique<GuiThreadPrompts>(services_.prompts, *gui_);
  liveHost_ = std::make_unique<LinkLiveHost>(static_cast<LiveViewHost&>(*this), *gui_);
  linkThread_ = std::make_unique<LinkThread>();
  liveCapture_ = std::make_unique<LiveCapture>(*link_, *liveHost_, *linkPrompts_, *linkThread_,
                                               services_.ticks);
  ConnectHandlers();
}

CBrindleFlashDlg::~CBrindleFlashDlg() {
  // A live view still running would keep the link thread for ever: it is stopped as the close
  // box stops it; a copy still running is cancelled by its dialog. What the link thread still
  // asks or posts is dropped from here on, so it ends without this thread's help.
  if (liveViewState_ == LiveViewState::Running) StopStreamForClose();
  qDeleteAll(findChildren<CProgressDlg*>(Qt::FindDirectChildrenOnly));
  gui_->Close();
  linkThread_->WaitIdle();
}

bool CBrindleFlashDlg::LinkIdle() const {
  return linkThread_->Idle();
}

bool CBrindleFlashDlg::OnlyLiveViewRuns() const {
  return linkThread_->NothingWaiting() && liveCapture_->LoopRunning();
}

LiveInput CBrindleFlashDlg::CurrentLiveInput() const {
  return LiveInput{Button(IDC_START_STOP)->isChecked(), Button(IDC_AUTONOMOUS)->isChecked(),
                   live_.frameTimeout};
}

void CBrindleFlashDlg::PostToLink(std::function<void()> request) {
  linkThread_->PostRequest([this, input = CurrentLiveInput(), request = std::move(request)] {
    liveHost_->SetInput(input);
    request();
  });
}

void CBrindleFlashDlg::BuildWindow() {
  setWindowTitle(QStringLiteral("BrindleFlash"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  controls_ = BuildControls(this, MainWindowControls(), units,
                            [this](const ControlRow& control) -> QWidget* {
                              // The player window is bound to the picture area and takes its place.
                              auto* player = new CBfkPlayer(services_.headers, this);
                              player->Attach(control.id);
                              player_ = player;
                              return player;
                            });
  widgets_ = MainWindowWidgets::Find(controls_);
  setFixedSize(DialogXToPixels(kDialogWidthDlu, units), DialogYToPixels(kDialogHeightDlu, units));
}

void CBrindleFlashDlg::ConnectHandlers() {
  ConnectCameraSettings();
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

QWidget* CBrindleFlashDlg::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QAbstractButton* CBrindleFlashDlg::Button(int id) const {
  return ControlAs<QAbstractButton>(id);
}
QSlider* CBrindleFlashDlg::Slider(int id) const {
  return ControlAs<QSlider>(id);
}
QComboBox* CBrindleFlashDlg::List(int id) const {
  return ControlAs<QComboBox>(id);
}

void CBrindleFlashDlg::SetChecked(int id, bool checked) {
  Button(id)->setChecked(checked);
}

void CBrindleFlashDlg::OnInitDialog() {
  // 1. Controls attached; fields to controls.
  widgets_.FillLists();
  WriteControls();

  // 2. About in the system menu where there is one; the application icon.
  AddAboutToSystemMenu(*this);
  setWindowIcon(LoadAppIcon(IDR_MAINFRAME));

  // 3. to 7. Sliders; the player group's slider, rate ("Player fps"), playback mode ("Like
  // original"), rate spin and button icons; autonomous off.
  widgets_.SetUpSliders();
  playerGroup_->SetUp();
  WriteControls();
  live_.autonomousFlag = 0;

  // 8. Both groups off until a camera or a recording is there.
  EnableCameraControls(false);
  playerGroup_->Panel().EnableControls(false);

  // 9. A recording named on the command line.
  playerGroup_->Panel().LoadRecording(services_.commandLine);

  // 10. Picture placement and rotation.
  player_->SetOffset(0, 20);
  widgets_.rotation[0]->setChecked(true);
  player_->SetRotation(Rotation::None);

  // 11. Camera status handshake, on the link thread: the camera controls come on when it has
  // ended well, and its messages are shown over the window.
  RunHandshake();
}

void CBrindleFlashDlg::ApplyCameraStatus(const CameraStatus& status) {
  widgets_.compression->setValue(status.Compression());
  colourIndex_ = status.Colour() ? 1 : 0;
  frameRateIndex_ = status.FrameRateIndex();
  const bool detectorOn = status.MotionDetectorOn();
  live_.frameTimeout = detectorOn ? kFrameTimeoutUnlimited : kFrameTimeoutDetectorOff;
  // The checked radio first: in their exclusive group that clears the other one.
  (detectorOn ? widgets_.detectorOn : widgets_.detectorOff)->setChecked(true);
  (detectorOn ? widgets_.detectorOff : widgets_.detectorOn)->setChecked(false);
  if (detectorOn) {
    widgets_.sensitivity->setValue(0);
  } else {
    widgets_.sensitivity->setEnabled(false);
  }
  ledsOffFlag_ = 0;
  extRecordingFlag_ = 0;
  WriteControls();
}

void CBrindleFlashDlg::ReadControls() {
  frameRateIndex_ = widgets_.frameRate->currentIndex();
  colourIndex_ = widgets_.colour->currentIndex();
  live_.autonomousFlag = widgets_.autonomous->isChecked() ? 1 : 0;
  live_.streamingFlag = widgets_.startStop->isChecked() ? 1 : 0;
  // The player rate is not among these: the player group holds it and only shows it.
  ledsOffFlag_ = widgets_.ledsOff->isChecked() ? 1 : 0;
  extRecordingFlag_ = widgets_.extRecording->isChecked() ? 1 : 0;
}

void CBrindleFlashDlg::WriteControls() {
  // A list index outside the items (a status byte beyond the table) shows no selection.
  QComboBox* frameRate = widgets_.frameRate;
  frameRate->setCurrentIndex(frameRateIndex_ < frameRate->count() ? frameRateIndex_ : -1);
  QComboBox* colour = widgets_.colour;
  colour->setCurrentIndex(colourIndex_ < colour->count() ? colourIndex_ : -1);
  widgets_.autonomous->setChecked(live_.autonomousFlag != 0);
  widgets_.startStop->setChecked(live_.streamingFlag != 0);
  widgets_.ledsOff->setChecked(ledsOffFlag_ != 0);
  widgets_.extRecording->setChecked(extRecordingFlag_ != 0);
}

void CBrindleFlashDlg::EnableCameraControls(bool on) {
  cameraControlsOn_ = on;
  for (QWidget* control : widgets_.CameraControls()) control->setEnabled(on);
  widgets_.sensitivity->setEnabled(on && live_.frameTimeout == kFrameTimeoutUnlimited);
}

std::string CBrindleFlashDlg::StartStopCaption() const {
  return widgets_.startStop->text().toStdString();
}

LiveViewState CBrindleFlashDlg::ButtonState() {
  return liveViewState_;
}

void CBrindleFlashDlg::SetButtonState(LiveViewState state) {
  liveViewState_ = state;
  widgets_.startStop->setText(
      QString::fromUtf8(state == LiveViewState::Off ? kStartCaption : kStopCaption));
}

void CBrindleFlashDlg::EnableLiveLockedControls(bool on) {
  for (QWidget* control : widgets_.LiveLockedControls()) control->setEnabled(on);
}

bool CBrindleFlashDlg::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  return recordingPlayer_->ShowExternalFrame(header, payload);
}

void CBrindleFlashDlg::ClearDisplay() {
  recordingPlayer_->ClearDisplay();
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

void CBrindleFlashDlg::InvalidatePictureArea() {
  playerGroup_->InvalidatePictureArea();
}

void CBrindleFlashDlg::StopStreamForClose() {
  ReadControls();
  if (live_.streamingFlag != 0 && live_.autonomousFlag == 0) {
    live_.streamingFlag = 0;
    WriteControls();
    // Taken by the live loop between two reads: the loop then sees the button out and ends.
    PostToLink([this] {
      liveHost_->ReadControls();
      try {
        SendCommand(*link_, CMD_STOP_STREAM);
      } catch (const FTDException&) {
        // Closing goes on whatever the camera does.
      }
    });
  }
}

void CBrindleFlashDlg::reject() {
  // Left running, the live loop would keep a hidden window streaming for ever.
  if (liveViewState_ == LiveViewState::Running && live_.autonomousFlag == 0) StopStreamForClose();
  QDialog::reject();
}

void CBrindleFlashDlg::OnOK() {
  StopStreamForClose();
  recordingPlayer_->StopPlayback();
  ClearDisplay();
  if (!playerGroup_->Panel().SaveSettings()) {
    // The window closes all the same; the operator learns that the choice will not be there.
    services_.prompts.ShowMessage(kSettingsNotSavedText, "", MessageIcon::Warning);
  }
  ReadControls();
  accept();
}

}  // namespace bf::ui
