#pragma once
#include <QDialog>
#include <functional>
#include <map>

#include "clock/LocalTime.h"
#include "clock/TimeDialogPresenter.h"
#include "host/UserPrompts.h"

class QCalendarWidget;
class QLineEdit;

namespace bf::ui {

class UpDownControl;

// The modal date-and-time dialog, a view over TimeDialogPresenter: the month calendar, the
// hour, minute and second edits with their spinners (not attached to the edits: the presenter
// copies the values itself), "OK", "Как в комп." and "Отмена". The caller sets the time before
// exec() and reads it after OK. Created for one use. GUI thread only.
class CTimeDlg : public QDialog, private TimeDialogView {
  Q_OBJECT

 public:
  CTimeDlg(QWidget* parent, UserPrompts& prompts, std::function<UtcSeconds()> pcNow = PcClockNow);

  void SetTime(UtcSeconds time) { presenter_.SetTime(time); }
  UtcSeconds Time() const { return presenter_.Time(); }
  TimeDialogPresenter& Presenter() { return presenter_; }

  // The control with this id (see TimeDlgControls.h), or nullptr.
  QWidget* Control(int id) const;

 protected:
  // The dialog's initialisation runs once, when it is first shown.
  void showEvent(QShowEvent* event) override;
  // Keeps Enter inside the calendar: it ends the typing of a year, it does not press OK.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // TimeDialogView
  void SelectDate(const CalendarDate& date) override;
  std::optional<CalendarDate> SelectedDate() const override;
  void SetSpinner(ClockField field, int minimum, int maximum, int16_t position) override;
  std::string EditText(ClockField field) const override;
  void SetEditText(ClockField field, const std::string& text) override;
  void FocusEdit(ClockField field) override;

  QLineEdit* Edit(ClockField field) const;
  UpDownControl* Spinner(ClockField field) const;
  void ConnectSpinner(ClockField field);
  void OnOk();

  TimeDialogPresenter presenter_;
  std::map<int, QWidget*> controls_;
  QCalendarWidget* calendar_ = nullptr;
  bool initialised_ = false;
};

}  // namespace bf::ui
