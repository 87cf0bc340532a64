#include "clock/CTimeDlg.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QShowEvent>

#include "clock/TimeDlgControls.h"
#include "shell/ControlBuilder.h"
#include "shell/DialogUnits.h"
#include "shell/UpDownControl.h"

namespace bf::ui {
namespace {

// The scroll code of a spinner's move; the end-of-scroll code follows every completed press.
constexpr int kThumbPosition = 4;

int EditId(ClockField field) {
  switch (field) {
    case ClockField::Hour:
      return IDC_TIME_HOUR;
    case ClockField::Minute:
      return IDC_TIME_MINUTE;
    case ClockField::Second:
      break;
  }
  return IDC_TIME_SECOND;
}

// Each spinner sits right of its edit and has the next id.
int SpinnerId(ClockField field) {
  return EditId(field) + 1;
}

}  // namespace

CTimeDlg::CTimeDlg(QWidget* parent, UserPrompts& prompts, std::function<UtcSeconds()> pcNow)
    : QDialog(parent), presenter_(*this, prompts, std::move(pcNow)) {
  setWindowTitle(QStringLiteral("Установите дату и время"));
  // A modal frame with a title bar and a system menu; not resizable.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(ShellDialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  controls_ = BuildControls(this, TimeDlgControls(), units,
                            [](const ControlRow&) -> QWidget* { return nullptr; });
  setFixedSize(DialogXToPixels(kTimeDlgWidthDlu, units), DialogYToPixels(kTimeDlgHeightDlu, units));

  calendar_ = qobject_cast<QCalendarWidget*>(Control(IDC_TIME_CALENDAR));
  // A single-selection month view with neither week numbers nor a mark on today.
  calendar_->setSelectionMode(QCalendarWidget::SingleSelection);
  calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  calendar_->setGridVisible(false);
  // The month and day names speak the language of the rest of the program.
  calendar_->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
  calendar_->setMinimumDate(QDate(1601, 1, 1));
  connect(calendar_, &QCalendarWidget::currentPageChanged, this,
          [this](int year, int month) { presenter_.OnCalendarPage(year, month); });
  // The year field of the calendar's title passes Enter on once it has taken the year; the
  // dialog would take it for OK.
  calendar_->installEventFilter(this);

  for (ClockField field : {ClockField::Hour, ClockField::Minute, ClockField::Second}) {
    // Spinners are worked with the mouse only; the keyboard goes to the edits.
    Spinner(field)->setFocusPolicy(Qt::NoFocus);
    ConnectSpinner(field);
  }
  connect(qobject_cast<QAbstractButton*>(Control(IDC_TIME_OK)), &QAbstractButton::clicked, this,
          [this] { OnOk(); });
  connect(qobject_cast<QAbstractButton*>(Control(IDC_TIME_CANCEL)), &QAbstractButton::clicked, this,
          [this] { reject(); });
  connect(qobject_cast<QAbstractButton*>(Control(IDC_TIME_TAKE_PC)), &QAbstractButton::clicked,
          this, [this] { presenter_.OnTakePcTime(); });
}

QWidget* CTimeDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* CTimeDlg::Edit(ClockField field) const {
  return qobject_cast<QLineEdit*>(Control(EditId(field)));
}

UpDownControl* CTimeDlg::Spinner(ClockField field) const {
  return qobject_cast<UpDownControl*>(Control(SpinnerId(field)));
}

void CTimeDlg::ConnectSpinner(ClockField field) {
  UpDownControl* spinner = Spinner(field);
  connect(spinner, &UpDownControl::positionChanged, this, [this, field](int position) {
    presenter_.OnSpinnerScroll(kThumbPosition, static_cast<int16_t>(position), field);
  });
  connect(spinner, &UpDownControl::scrollEnded, this, [this, spinner, field] {
    presenter_.OnSpinnerScroll(TimeDialogPresenter::kEndScroll,
                               static_cast<int16_t>(spinner->position()), field);
  });
}

void CTimeDlg::showEvent(QShowEvent* event) {
  if (!initialised_) {
    initialised_ = true;
    presenter_.OnInitDialog();
  }
  QDialog::showEvent(event);
}

bool CTimeDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == calendar_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CTimeDlg::OnOk() {
  if (presenter_.OnOk()) accept();
}

void CTimeDlg::SelectDate(const CalendarDate& date) {
  const QDate qdate(date.year, date.month, date.day);
  calendar_->setSelectedDate(qdate);
  calendar_->setCurrentPage(qdate.year(), qdate.month());
}

std::optional<CalendarDate> CTimeDlg::SelectedDate() const {
  const QDate date = calendar_->selectedDate();
  if (!date.isValid()) return std::nullopt;
  return CalendarDate{date.year(), date.month(), date.day()};
}

void CTimeDlg::SetSpinner(ClockField field, int minimum, int maximum, int16_t position) {
  UpDownControl* spinner = Spinner(field);
  spinner->setRange(minimum, maximum);
  spinner->setPosition(position);
}

std::string CTimeDlg::EditText(ClockField field) const {
  return Edit(field)->text().toStdString();
}

void CTimeDlg::SetEditText(ClockField field, const std::string& text) {
  Edit(field)->setText(QString::fromStdString(text));
}

void CTimeDlg::FocusEdit(ClockField field) {
  QLineEdit* edit = Edit(field);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

}  // namespace bf::ui
