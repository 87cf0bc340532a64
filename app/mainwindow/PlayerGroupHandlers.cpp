// The main window's side of the player group: wiring its controls to the panel logic and the
// controls the panel drives.
#include <QAbstractButton>
#include <QLineEdit>
#include <QSlider>

#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "shell/UpDownControl.h"

namespace bf::ui {

void CBrindleFlashDlg::ConnectPlayerGroup() {
  auto onClick = [this](int id, void (PlayerPanel::*handler)()) {
    connect(Button(id), &QAbstractButton::clicked, this,
            [this, handler] { (panel_.get()->*handler)(); });
  };
  onClick(IDC_PLAY, &PlayerPanel::OnPlay);
  onClick(IDC_STOP, &PlayerPanel::OnStop);
  onClick(IDC_BEGIN, &PlayerPanel::OnBegin);
  onClick(IDC_END, &PlayerPanel::OnEnd);
  onClick(IDC_PREVIOUS, &PlayerPanel::OnPrevious);
  onClick(IDC_NEXT, &PlayerPanel::OnNext);
  onClick(IDC_LIKE_ORIGINAL, &PlayerPanel::OnLikeOriginalSelected);
  onClick(IDC_OTHER_RATE, &PlayerPanel::OnOtherRateSelected);
  onClick(IDC_OPEN, &PlayerPanel::ChooseRecording);
  connect(Button(IDC_EXPORT), &QAbstractButton::clicked, this,
          [this] { panel_->OnExport(services_.headers); });

  // Every scroll notification but the end of a drag navigates, so dragging shows frames as
  // the thumb moves. sliderPosition() already holds the new place when the action fires.
  QSlider* slider = Slider(IDC_POSITION);
  connect(slider, &QSlider::actionTriggered, this, [this, slider](int) {
    panel_->OnSliderMoved(static_cast<uint32_t>(std::max(0, slider->sliderPosition())));
  });

  auto* spin = ControlAs<UpDownControl>(IDC_RATE_SPIN);
  connect(spin, &UpDownControl::scrollEnded, this,
          [this, spin] { panel_->OnRateSpinEnd(spin->position()); });
}

void CBrindleFlashDlg::SetSliderRange(uint32_t maxPosition, uint32_t pageSize) {
  QSlider* slider = Slider(IDC_POSITION);
  slider->setPageStep(static_cast<int>(std::min<uint32_t>(pageSize, INT32_MAX)));
  slider->setRange(0, static_cast<int>(std::min<uint32_t>(maxPosition, INT32_MAX)));
}

void CBrindleFlashDlg::SetSliderPosition(uint32_t position) {
  // Out-of-range positions clamp to the ends, as the classic trackbar does.
  Slider(IDC_POSITION)->setValue(static_cast<int>(std::min<uint32_t>(position, INT32_MAX)));
}

void CBrindleFlashDlg::ShowRate(int rate) {
  ControlAs<QLineEdit>(IDC_RATE_EDIT)->setText(QString::number(rate));
}

void CBrindleFlashDlg::EnableRateSpin(bool on) {
  Control(IDC_RATE_SPIN)->setEnabled(on);
}

bool CBrindleFlashDlg::LinkStatusOk() {
  return link_->GetStatusCode() == ftstatus::kOk;
}

}  // namespace bf::ui
