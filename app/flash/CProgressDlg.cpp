#include "flash/CProgressDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <array>

#include "shell/ControlBuilder.h"
#include "shell/DialogUnits.h"

namespace bf::ui {

namespace {

// Template 133: 200 x 77 dialog units.
constexpr int kDialogWidthDlu = 200;
constexpr int kDialogHeightDlu = 77;

using K = ControlKind;
constexpr std::array kProgressDlgControls = {
    ControlRow{IDC_PROGRESS_CANCEL, K::PushButton, "Отмена", 74, 56, 50, 14},
    ControlRow{IDC_PROGRESS_BAR, K::ProgressBar, "", 7, 34, 186, 14},
    ControlRow{0, K::Label, "Прошло времени:", 7, 7, 61, 8},
    ControlRow{IDC_PROGRESS_ELAPSED, K::Label, "00:00", 72, 7, 21, 8},
    ControlRow{0, K::Label, "Осталось:", 7, 22, 36, 8},
    ControlRow{IDC_PROGRESS_REMAINING, K::Label, "00:00", 72, 22, 21, 8},
    ControlRow{0, K::Label, "Скорость:", 101, 16, 35, 8},
    ControlRow{IDC_PROGRESS_SPEED, K::Label, "0000", 139, 16, 16, 8},
    ControlRow{0, K::Label, "КБайт/с", 162, 16, 29, 8},
};

}  // namespace

CProgressDlg::CProgressDlg(const ProgressDlgServices& services, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Копирование..."));
  // Pop-up with a caption and a modal frame, no system menu (so no close box either).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFont(CopyDialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  controls_ =
      BuildControls(this, kProgressDlgControls, units, [](const ControlRow&) { return nullptr; });
  setFixedSize(DialogXToPixels(kDialogWidthDlu, units), DialogYToPixels(kDialogHeightDlu, units));
  bar_ = static_cast<QProgressBar*>(controls_.at(IDC_PROGRESS_BAR));
  elapsed_ = static_cast<QLabel*>(controls_.at(IDC_PROGRESS_ELAPSED));
  remaining_ = static_cast<QLabel*>(controls_.at(IDC_PROGRESS_REMAINING));
  speed_ = static_cast<QLabel*>(controls_.at(IDC_PROGRESS_SPEED));
  // Dialog initialisation: the bar's range.
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  auto* cancel = static_cast<QPushButton*>(controls_.at(IDC_PROGRESS_CANCEL));
  connect(cancel, &QPushButton::clicked, this, &CProgressDlg::OnCancel);

  CopyServices copy{services.link,           services.prompts,  static_cast<CopyDialogHost&>(*this),
                    services.rangeChooser,   services.progress, services.makeOutput,
                    services.readCameraClock};
  copy.plan = services.plan;
  copy.offerResume = services.offerResume;
  copy.requests = static_cast<RequestPoint*>(this);
  session_ = std::make_unique<CopySession>(copy);
}

void CProgressDlg::TakeRequests() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

CProgressDlg::~CProgressDlg() {
  // The worker, if one still runs, is cancelled and joined here; then the timers go.
  session_.reset();
}

QWidget* CProgressDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

const QTimer* CProgressDlg::Timer(uint32_t id) const {
  const auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : it->second;
}

void CProgressDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (startQueued_) return;
  startQueued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { session_->OnFirstPaint(); }, Qt::QueuedConnection);
}

void CProgressDlg::OnTimer(uint32_t id) {
  if (session_) session_->OnTimer(id);
}

void CProgressDlg::OnCancel() {
  session_->Cancel();
}

void CProgressDlg::reject() {
  OnCancel();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
  // The dialog closes when the flow has noticed, never under it.
  event->ignore();
  OnCancel();
}

void CProgressDlg::PostToGui(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void CProgressDlg::StartTimer(uint32_t id, uint32_t periodMs) {
  StopTimer(id);
  auto* timer = new QTimer(this);
  timer->setInterval(static_cast<int>(periodMs));
  timer->setTimerType(Qt::CoarseTimer);
  connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  timer->start();
  timers_[id] = timer;
}

void CProgressDlg::StopTimer(uint32_t id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  // The flow may stop a timer from inside one of its ticks; the object goes once that is over.
  it->second->stop();
  it->second->deleteLater();
  timers_.erase(it);
}

void CProgressDlg::ShowProgress(const CopyDisplay& display) {
  bar_->setValue(display.position);
  elapsed_->setText(QString::fromStdString(display.elapsed));
  remaining_->setText(QString::fromStdString(display.remaining));
  speed_->setText(QString::fromStdString(display.speed));
}

void CProgressDlg::CloseDialog(int result) {
  done(result);
}

}  // namespace bf::ui
