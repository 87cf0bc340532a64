#include "flash/CProgressDlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <array>

#include "flash/RangeDialog.h"
#include "link/LinkThread.h"
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

// The copy's side of the dialog: the session and what it calls back, shared by the dialog and
// the link thread's job, so that neither outlives what it uses. Its CopyDialogHost calls come
// on the link thread (StartTicks, StopTicks, CloseDialog) and are queued to the dialog; those
// from OnTick come on the GUI thread.
class CProgressDlg::Job final : public CopyDialogHost {
 public:
  Job(const ProgressDlgServices& services, CProgressDlg* view)
      : view_(view),
        gui_(services.gui),
        ownChooser_(services.rangeChooser != nullptr
                        ? nullptr
                        : std::make_unique<RangeDialogChooser>(services.gui, view)),
        session_(Services(services)) {}

  CopySession& Session() { return session_; }

  // Link thread: the whole copy, then its end queued to the dialog.
  void Run() {
    session_.Run();
    gui_.Post([view = view_, result = result_] {
      if (view) view->OnCopyEnded(result);
    });
  }

  void StartTicks(CopyClock clock) override {
    gui_.Post([view = view_, clock] {
      if (view) view->StartTicking(clock);
    });
  }
  void StopTicks() override {
    gui_.Post([view = view_] {
      if (view) view->StopTicking();
    });
  }
  void ShowProgress(const CopyDisplay& display) override {
    if (view_) view_->ShowProgress(display);
  }
  void CloseDialog(int result) override { result_ = result; }

 private:
  CopyServices Services(const ProgressDlgServices& services) {
    RangeChooser& chooser =
        services.rangeChooser != nullptr ? *services.rangeChooser : *ownChooser_;
    CopyServices copy{
        services.link,       services.prompts,        *this, chooser, services.progress,
        services.makeOutput, services.readCameraClock};
    copy.plan = services.plan;
    copy.offerResume = services.offerResume;
    return copy;
  }

  const QPointer<CProgressDlg> view_;
  GuiQueue& gui_;
  std::unique_ptr<RangeDialogChooser> ownChooser_;
  int result_ = 0;       // link thread, until Run has posted it
  CopySession session_;  // last: it borrows the chooser above
};

CProgressDlg::CProgressDlg(const ProgressDlgServices& services, QWidget* parent)
    : QDialog(parent), linkThread_(services.linkThread) {
  setWindowTitle(QStringLiteral("Копирование..."));
  // Pop-up with a caption and a modal frame, no system menu (so no close box either).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowModality(Qt::WindowModal);
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
  tickTimer_.setInterval(static_cast<int>(kCopyTickPeriodMs));
  tickTimer_.setTimerType(Qt::CoarseTimer);
  connect(&tickTimer_, &QTimer::timeout, this, [this] {
    if (ticking_) OnTick(*ticking_);
  });
  job_ = std::make_shared<Job>(services, this);
}

CProgressDlg::~CProgressDlg() {
  // A copy still running goes on to the chunk under way and ends there; its job keeps what it
  // uses alive until then.
  if (started_ && !ended_) job_->Session().Cancel();
}

void CProgressDlg::Start() {
  if (started_) return;
  started_ = true;
  open();
  linkThread_.Post([job = job_] { job->Run(); });
}

CopySession& CProgressDlg::Session() {
  return job_->Session();
}

QWidget* CProgressDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CProgressDlg::OnTick(CopyClock clock) {
  job_->Session().OnTick(clock);
}

void CProgressDlg::OnCancel() {
  job_->Session().Cancel();
}

void CProgressDlg::reject() {
  OnCancel();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
  // The dialog closes when the copy has noticed, never under it.
  event->ignore();
  OnCancel();
}

void CProgressDlg::StartTicking(CopyClock clock) {
  ticking_ = clock;
  tickTimer_.start();
}

void CProgressDlg::StopTicking() {
  ticking_.reset();
  tickTimer_.stop();
}

void CProgressDlg::ShowProgress(const CopyDisplay& display) {
  bar_->setValue(display.position);
  elapsed_->setText(QString::fromStdString(display.elapsed));
  remaining_->setText(QString::fromStdString(display.remaining));
  speed_->setText(QString::fromStdString(display.speed));
}

void CProgressDlg::OnCopyEnded(int result) {
  StopTicking();
  ended_ = true;
  done(result);
}

}  // namespace bf::ui
