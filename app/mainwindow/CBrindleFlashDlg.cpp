#include "mainwindow/CBrindleFlashDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>

#include "host/GuiThreadPrompts.h"
#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "live/LiveCapture.h"
#include "mainwindow/ControlIds.h"
#include "mainwindow/ControlTable.h"
#include "mainwindow/Icons.h"
#include "mainwindow/PlayerDisplay.h"
#include "picture/CBfkPlayer.h"
#include "recordings/Player.h"
#include "shell/ControlBuilder.h"
#include "shell/QtGuiQueue.h"
#include "shell/UpDownControl.h"

namespace bf::ui {
namespace {

// Controls switched by EnableCameraControls, besides the sensitivity slider.
constexpr int kCameraControls[] = {
    IDC_START_STOP,  IDC_AUTONOMOUS,  IDC_FRAME_RATE,   IDC_COLOUR,
    IDC_COMPRESSION, IDC_DETECTOR_ON, IDC_DETECTOR_OFF, IDC_SET_CLOCK,
    IDC_FLASH_SAVE,  IDC_FLASH_ERASE, IDC_LEDS_OFF,     IDC_EXT_RECORDING,
    IDC_ROTATE_0,    IDC_ROTATE_90,   IDC_ROTATE_180,   IDC_ROTATE_270};

// Controls switched by EnablePlayerControls, besides the rate spin.
constexpr int kPlayerControls[] = {IDC_BEGIN,      IDC_PREVIOUS, IDC_NEXT,     IDC_END,
                                   IDC_PLAY,       IDC_STOP,     IDC_POSITION, IDC_LIKE_ORIGINAL,
                                   IDC_OTHER_RATE, IDC_EXPORT};

// Locked while the live view runs: the jobs that must not talk to the camera or replace the
// picture meanwhile.
constexpr int kLiveLockedControls[] = {IDC_SET_CLOCK,   IDC_FLASH_SAVE, IDC_OPEN,
                                       IDC_FLASH_ERASE, IDC_ROTATE_0,   IDC_ROTATE_90,
                                       IDC_ROTATE_180,  IDC_ROTATE_270};

// The Start/Stop button's captions for the two states of the live view.
constexpr const char* kStartCaption = "Старт";
constexpr const char* kStopCaption = "Стоп";

}  // namespace

CBrindleFlashDlg::CBrindleFlashDlg(MainWindowServices services, QWidget* parent)
    : QDialog(parent),
      services_(std::move(services)),
      link_(std::make_unique<FTDClass>(services_.backend, services_.ticks)) {
  BuildWindow();
  display_ = std::make_unique<PlayerDisplay>(
      *player_, this, [this](uint32_t position) { panel_->OnPlayerPosition(position); });
  recordingPlayer_ = std::make_unique<Player>(*display_, services_.timer, services_.prompts);
  panel_ = std::make_unique<PlayerPanel>(*recordingPlayer_, static_cast<PlayerPanelView&>(*this),
                                         services_.prompts, services_.settings);
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
  // box stops it. What the link thread still asks or posts is dropped from here on.
  if (buttonState_ == LiveViewState::Running) StopStreamForClose();
  gui_->Close();
  WaitForLink();
}

bool CBrindleFlashDlg::LinkIdle() const {
  return linkThread_->Idle();
}

bool CBrindleFlashDlg::OnlyLiveViewRuns() const {
  return linkThread_->NothingWaiting() && liveCapture_->LoopRunning();
}

void CBrindleFlashDlg::WaitForLink() {
  // The link thread may be waiting for an answer of this thread's, so this thread keeps handling
  // its events meanwhile.
  while (!linkThread_->Idle()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  QCoreApplication::processEvents();
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
  setFixedSize(DialogXToPixels(kDialogWidthDlu, units), DialogYToPixels(kDialogHeightDlu, units));
}

void CBrindleFlashDlg::ConnectHandlers() {
  ConnectCameraSettings();
  ConnectServiceButtons();
  ConnectPlayerGroup();
  connect(Button(IDOK_EXIT), &QAbstractButton::clicked, this, [this] { OnOK(); });
  SetUpExportEntries();
  SetUpReviewEntry();
  SetUpAboutEntry();
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
  List(IDC_FRAME_RATE)->clear();
  for (const char* text : kFrameRateTexts) List(IDC_FRAME_RATE)->addItem(QString::fromUtf8(text));
  List(IDC_COLOUR)->clear();
  for (const char* text : kColourTexts) List(IDC_COLOUR)->addItem(QString::fromUtf8(text));
  WriteControls();

  // 2. About in the system menu where there is one; the application icon.
  AddAboutToSystemMenu();
  setWindowIcon(LoadAppIcon(IDR_MAINFRAME));

  // 3. Sliders.
  QSlider* position = Slider(IDC_POSITION);
  position->setTickPosition(QSlider::TicksBothSides);
  position->setTickInterval(1);
  position->setSingleStep(1);
  position->setRange(0, 1);
  QSlider* compression = Slider(IDC_COMPRESSION);
  compression->setTickPosition(QSlider::TicksRight);
  compression->setInvertedAppearance(true);  // the top end is 0, best compression
  compression->setInvertedControls(true);
  compression->setTickInterval(1);
  compression->setSingleStep(1);
  compression->setPageStep(1);
  compression->setRange(0, 4);
  QSlider* sensitivity = Slider(IDC_SENSITIVITY);
  sensitivity->setTickPosition(QSlider::TicksBelow);
  sensitivity->setTickInterval(1);
  sensitivity->setSingleStep(1);
  sensitivity->setPageStep(1);
  sensitivity->setRange(0, 5);

  // 4. Player rate ("Player fps").
  panel_->LoadSettings();
  WriteControls();

  // 5. Playback mode ("Like original"); the other-rate mode tells the player its rate now.
  if (panel_->LikeOriginalSelected()) {
    SetChecked(IDC_LIKE_ORIGINAL, true);
  } else {
    panel_->OnOtherRateSelected();
    SetChecked(IDC_OTHER_RATE, true);
  }

  // 6. Rate spin.
  auto* spin = ControlAs<UpDownControl>(IDC_RATE_SPIN);
  spin->setRange(kMinPlayerRate, kMaxPlayerRate);
  spin->setPosition(panel_->Rate());

  // 7. Autonomous off; the player buttons get their icons.
  live_.autonomousFlag = 0;
  for (int id : {IDC_BEGIN, IDC_PREVIOUS, IDC_PLAY, IDC_STOP, IDC_NEXT, IDC_END}) {
    QAbstractButton* button = Button(id);
    button->setIcon(LoadAppIcon(FindControlRow(id)->icon));
    button->setText(QString());
    button->setToolTip(QString::fromUtf8(FindControlRow(id)->caption));
  }

  // 8. Both groups off until a camera or a recording is there.
  EnableCameraControls(false);
  EnablePlayerControls(false);

  // 9. A recording named on the command line.
  panel_->LoadRecording(services_.commandLine);

  // 10. Picture placement and rotation.
  player_->SetOffset(0, 20);
  SetChecked(IDC_ROTATE_0, true);
  player_->SetRotation(Rotation::None);

  // 11. Camera status handshake. The window appears once it has ended, in the state it left.
  RunHandshake();
  WaitForLink();
}

void CBrindleFlashDlg::ApplyCameraStatus(const CameraStatus& status) {
  Slider(IDC_COMPRESSION)->setValue(status.Compression());
  colourIndex_ = status.Colour() ? 1 : 0;
  frameRateIndex_ = status.FrameRateIndex();
  if (status.MotionDetectorOn()) {
    live_.frameTimeout = kFrameTimeoutUnlimited;
    SetChecked(IDC_DETECTOR_ON, true);
    SetChecked(IDC_DETECTOR_OFF, false);
    Slider(IDC_SENSITIVITY)->setValue(0);
  } else {
    live_.frameTimeout = kFrameTimeoutDetectorOff;
    SetChecked(IDC_DETECTOR_OFF, true);
    SetChecked(IDC_DETECTOR_ON, false);
    Control(IDC_SENSITIVITY)->setEnabled(false);
  }
  ledsOffFlag_ = 0;
  extRecordingFlag_ = 0;
  WriteControls();
}

void CBrindleFlashDlg::ReadControls() {
  frameRateIndex_ = List(IDC_FRAME_RATE)->currentIndex();
  colourIndex_ = List(IDC_COLOUR)->currentIndex();
  live_.autonomousFlag = Button(IDC_AUTONOMOUS)->isChecked() ? 1 : 0;
  live_.streamingFlag = Button(IDC_START_STOP)->isChecked() ? 1 : 0;
  // The rate edit is always disabled: the rate lives in the panel and reaches the edit only
  // through ShowRate.
  ledsOffFlag_ = Button(IDC_LEDS_OFF)->isChecked() ? 1 : 0;
  extRecordingFlag_ = Button(IDC_EXT_RECORDING)->isChecked() ? 1 : 0;
}

void CBrindleFlashDlg::WriteControls() {
  // A list index outside the items (a status byte beyond the table) shows no selection.
  List(IDC_FRAME_RATE)
      ->setCurrentIndex(frameRateIndex_ < List(IDC_FRAME_RATE)->count() ? frameRateIndex_ : -1);
  List(IDC_COLOUR)->setCurrentIndex(colourIndex_ < List(IDC_COLOUR)->count() ? colourIndex_ : -1);
  SetChecked(IDC_AUTONOMOUS, live_.autonomousFlag != 0);
  SetChecked(IDC_START_STOP, live_.streamingFlag != 0);
  ShowRate(panel_->Rate());
  SetChecked(IDC_LEDS_OFF, ledsOffFlag_ != 0);
  SetChecked(IDC_EXT_RECORDING, extRecordingFlag_ != 0);
}

void CBrindleFlashDlg::EnableCameraControls(bool on) {
  cameraControlsOn_ = on;
  for (int id : kCameraControls) Control(id)->setEnabled(on);
  Control(IDC_SENSITIVITY)->setEnabled(on && live_.frameTimeout == kFrameTimeoutUnlimited);
}

void CBrindleFlashDlg::EnablePlayerControls(bool on) {
  for (int id : kPlayerControls) Control(id)->setEnabled(on);
  Control(IDC_RATE_SPIN)->setEnabled(on && !panel_->LikeOriginalSelected());
}

std::string CBrindleFlashDlg::StartStopCaption() const {
  return Button(IDC_START_STOP)->text().toStdString();
}

LiveViewState CBrindleFlashDlg::ButtonState() {
  return buttonState_;
}

void CBrindleFlashDlg::SetButtonState(LiveViewState state) {
  buttonState_ = state;
  Button(IDC_START_STOP)
      ->setText(QString::fromUtf8(state == LiveViewState::Off ? kStartCaption : kStopCaption));
}

void CBrindleFlashDlg::EnableLiveLockedControls(bool on) {
  for (int id : kLiveLockedControls) Control(id)->setEnabled(on);
}

bool CBrindleFlashDlg::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  return recordingPlayer_->ShowExternalFrame(header, payload);
}

void CBrindleFlashDlg::ClearDisplay() {
  recordingPlayer_->ClearDisplay();
}

void CBrindleFlashDlg::InvalidatePictureArea() {
  // From the client origin to the player's size plus 30 pixels, background erased.
  player_->EraseOnNextPaint();
  update(QRect(0, 0, player_->width() + 30, player_->height() + 30));
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
  if (buttonState_ == LiveViewState::Running && live_.autonomousFlag == 0) StopStreamForClose();
  QDialog::reject();
}

void CBrindleFlashDlg::OnOK() {
  StopStreamForClose();
  recordingPlayer_->StopPlayback();
  ClearDisplay();
  if (!panel_->SaveSettings()) {
    // The window closes all the same; the operator learns that the choice will not be there.
    services_.prompts.ShowMessage(kSettingsNotSavedText, "", MessageIcon::Warning);
  }
  ReadControls();
  accept();
}

}  // namespace bf::ui
