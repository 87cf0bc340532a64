#include "mainwindow/PlayerGroupView.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <climits>
#include <initializer_list>
#include <utility>

#include "mainwindow/ControlIds.h"
#include "mainwindow/ControlTable.h"
#include "mainwindow/PlayerDisplay.h"
#include "picture/CBfkPlayer.h"
#include "recordings/Player.h"
#include "shell/ControlBuilder.h"
#include "shell/Icons.h"
#include "shell/UpDownControl.h"

namespace bf::ui {
namespace {

int SliderInt(uint32_t value) {
  return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

}  // namespace

PlayerGroupView::PlayerGroupView(QWidget* window, const std::map<int, QWidget*>& controls,
                                 CBfkPlayer& picture, Services services, WindowHooks hooks)
    : window_(window),
      picture_(picture),
      services_(services),
      hooks_(std::move(hooks)),
      w_(FindWidgets(controls)) {
  display_ = std::make_unique<PlayerDisplay>(
      picture_, this, [this](uint32_t position) { panel_->OnPlayerPosition(position); });
  player_ = std::make_unique<Player>(*display_, services_.timer, services_.prompts);
  panel_ = std::make_unique<PlayerPanel>(*player_, static_cast<PlayerPanelView&>(*this),
                                         services_.prompts, services_.settings);
  Connect();
}

// The player goes first: its destructor waits out a step that may still show a frame.
PlayerGroupView::~PlayerGroupView() {
  panel_.reset();
  player_.reset();
}

PlayerGroupView::Widgets PlayerGroupView::FindWidgets(const std::map<int, QWidget*>& controls) {
  Widgets w;
  w.open = TakeControl<QPushButton>(controls, IDC_OPEN);
  w.begin = TakeControl<QPushButton>(controls, IDC_BEGIN);
  w.previous = TakeControl<QPushButton>(controls, IDC_PREVIOUS);
  w.play = TakeControl<QPushButton>(controls, IDC_PLAY);
  w.stop = TakeControl<QPushButton>(controls, IDC_STOP);
  w.next = TakeControl<QPushButton>(controls, IDC_NEXT);
  w.end = TakeControl<QPushButton>(controls, IDC_END);
  w.save = TakeControl<QPushButton>(controls, IDC_EXPORT);
  w.position = TakeControl<QSlider>(controls, IDC_POSITION);
  w.likeOriginal = TakeControl<QRadioButton>(controls, IDC_LIKE_ORIGINAL);
  w.otherRate = TakeControl<QRadioButton>(controls, IDC_OTHER_RATE);
  w.rateEdit = TakeControl<QLineEdit>(controls, IDC_RATE_EDIT);
  w.rateSpin = TakeControl<UpDownControl>(controls, IDC_RATE_SPIN);
  return w;
}

void PlayerGroupView::Connect() {
  auto onClick = [this](QPushButton* button, void (PlayerPanel::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { (panel_.get()->*handler)(); });
  };
  onClick(w_.play, &PlayerPanel::OnPlay);
  onClick(w_.stop, &PlayerPanel::OnStop);
  onClick(w_.begin, &PlayerPanel::OnBegin);
  onClick(w_.end, &PlayerPanel::OnEnd);
  onClick(w_.previous, &PlayerPanel::OnPrevious);
  onClick(w_.next, &PlayerPanel::OnNext);
  onClick(w_.open, &PlayerPanel::ChooseRecording);
  connect(w_.save, &QPushButton::clicked, this, [this] { panel_->OnExport(services_.headers); });

  // The two mode radio buttons sit apart from the window's other radio buttons: a group of
  // their own keeps exactly one checked.
  auto* mode = new QButtonGroup(this);
  mode->setExclusive(true);
  mode->addButton(w_.likeOriginal);
  mode->addButton(w_.otherRate);
  connect(w_.likeOriginal, &QRadioButton::clicked, this,
          [this] { panel_->OnLikeOriginalSelected(); });
  connect(w_.otherRate, &QRadioButton::clicked, this, [this] { panel_->OnOtherRateSelected(); });

  // Every scroll notification but the end of a drag navigates, so dragging shows frames as
  // the thumb moves. sliderPosition() already holds the new place when the action fires.
  connect(w_.position, &QSlider::actionTriggered, this, [this](int) {
    panel_->OnSliderMoved(static_cast<uint32_t>(std::max(0, w_.position->sliderPosition())));
  });
  connect(w_.rateSpin, &UpDownControl::scrollEnded, this,
          [this] { panel_->OnRateSpinEnd(w_.rateSpin->position()); });
}

void PlayerGroupView::SetUp() {
  w_.position->setTickPosition(QSlider::TicksBothSides);
  w_.position->setTickInterval(1);
  w_.position->setSingleStep(1);
  w_.rateSpin->setRange(kMinPlayerRate, kMaxPlayerRate);
  panel_->LoadSettings();
  // The other-rate mode tells the player its rate now.
  if (!panel_->LikeOriginalSelected()) panel_->OnOtherRateSelected();
  const std::pair<QPushButton*, int> iconButtons[] = {
      {w_.begin, IDC_BEGIN}, {w_.previous, IDC_PREVIOUS}, {w_.play, IDC_PLAY},
      {w_.stop, IDC_STOP},   {w_.next, IDC_NEXT},         {w_.end, IDC_END}};
  for (const auto& [button, id] : iconButtons) {
    const ControlRow* row = FindControlRow(id);
    button->setIcon(LoadAppIcon(row->icon));
    button->setText(QString());
    button->setToolTip(QString::fromUtf8(row->caption));
  }
}

void PlayerGroupView::ShowPlayerGroup(const PlayerGroupState& state) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{w_.begin, w_.previous, w_.next, w_.end, w_.play, w_.stop,
                                       w_.position, w_.likeOriginal, w_.otherRate, w_.save}) {
    control->setEnabled(state.controlsOn);
  }
  w_.rateSpin->setEnabled(state.RateSpinEnabled());
  // The checked radio first: in an exclusive group that clears the other one.
  QRadioButton* checked = state.likeOriginal ? w_.likeOriginal : w_.otherRate;
  QRadioButton* cleared = state.likeOriginal ? w_.otherRate : w_.likeOriginal;
  checked->setChecked(true);
  cleared->setChecked(false);
  w_.rateEdit->setText(QString::number(state.rate));
  w_.rateSpin->setPosition(state.rate);
  w_.position->setPageStep(SliderInt(state.sliderPage));
  w_.position->setRange(0, SliderInt(state.sliderMax));
  w_.position->setValue(SliderInt(state.sliderPosition));
}

void PlayerGroupView::EnableCameraControls(bool on) {
  hooks_.enableCameraControls(on);
}

bool PlayerGroupView::LinkStatusOk() {
  return hooks_.linkStatusOk();
}

void PlayerGroupView::InvalidatePictureArea() {
  picture_.EraseOnNextPaint();
  window_->update(QRect(0, 0, picture_.width() + 30, picture_.height() + 30));
}

}  // namespace bf::ui
