// "Стереть" and "Установить время..." in the main window on the simulated camera, and the
// date-and-time dialog itself: its template, tab order and the exchange with its controls.
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "MainWindowFixture.h"
#include "clock/CTimeDlg.h"
#include "clock/TimeDlgControls.h"
#include "link/StatusText.h"
#include "shell/DialogUnits.h"
#include "shell/UpDownControl.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

using namespace bf::ui;
using Bytes = std::vector<uint8_t>;

// Runs `act` on the clock dialog once the click's modal loop shows it; a dialog nobody expected
// is cancelled so that a faulty test ends instead of hanging.
class ModalClockDialog {
 public:
  explicit ModalClockDialog(std::function<void(CTimeDlg&)> act) : act_(std::move(act)) {
    QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] {
      if (auto* dialog = qobject_cast<CTimeDlg*>(QApplication::activeModalWidget())) {
        poll_.stop();
        ++opened;
        if (act_) {
          act_(*dialog);
        } else {
          dialog->reject();
        }
      }
    });
    poll_.start(0);
  }
  int opened = 0;

 private:
  std::function<void(CTimeDlg&)> act_;
  QTimer poll_;
};

QLineEdit* EditOf(CTimeDlg& d, int id) {
  return qobject_cast<QLineEdit*>(d.Control(id));
}
QString Shown(CTimeDlg& d) {
  return EditOf(d, IDC_TIME_HOUR)->text() + ":" + EditOf(d, IDC_TIME_MINUTE)->text() + ":" +
         EditOf(d, IDC_TIME_SECOND)->text();
}
void ClickButton(CTimeDlg& d, int id) {
  QTest::mouseClick(d.Control(id), Qt::LeftButton);
}

class EraseClockWindow : public MainWindowTest {
 protected:
  std::size_t mark = 0;
  void StartAndMark() {
    Start();
    mark = backend->writes.size();
  }
  std::vector<Bytes> WritesSinceMark() const {
    return {backend->writes.begin() + static_cast<std::ptrdiff_t>(mark), backend->writes.end()};
  }
};

TEST_F(EraseClockWindow, EraseAnsweredNoSendsNothing) {
  StartAndMark();
  prompts.answers = {MessageAnswer::No};
  Click(IDC_FLASH_ERASE);
  EXPECT_TRUE(WritesSinceMark().empty());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Вы действительно хотите стереть флеш-память?");
}

TEST_F(EraseClockWindow, EraseSendsOnlyItsCommandAndWaitsWithoutInput) {
  options.prefillFrames = 6;
  options.eraseMs = 5'000;
  StartAndMark();
  const std::size_t purges = backend->purges.size();
  Click(IDC_FLASH_ERASE);
  EXPECT_EQ(WritesSinceMark(), std::vector<Bytes>{Bytes{CMD_ERASE_FLASH}});
  EXPECT_EQ(backend->purges.size(), purges);
  EXPECT_EQ(prompts.shown.size(), 1u);  // the question only
  EXPECT_EQ(camera->Model().Flash().WritePosition(), 0u);
  EXPECT_EQ(prompts.busyCursor, (std::vector<bool>{true, false}));
  // The controls are locked for the whole wait and given back after it.
  EXPECT_EQ(prompts.inputLocked, (std::vector<bool>{true, false}));
}

TEST_F(EraseClockWindow, EraseLocksTheControlsOnlyForTheWait) {
  options.eraseMs = 1'000;
  StartAndMark();
  // At every read of the wait the link thread waits until the window's own thread has noted
  // whether its controls are locked (a timer of the window's thread answers): a window blocked
  // by the erase would never answer. The wait reads nothing else.
  std::vector<bool> lockedDuringWait;
  std::mutex mutex;
  std::condition_variable answered;
  bool readWaiting = false;
  QTimer guiTick;
  QObject::connect(&guiTick, &QTimer::timeout, [&] {
    {
      std::lock_guard lock(mutex);
      if (!readWaiting) return;
    }
    // What the link thread posted before this read (the lock among it) is delivered first.
    QCoreApplication::sendPostedEvents();
    std::lock_guard lock(mutex);
    lockedDuringWait.push_back(!prompts.inputLocked.empty() && prompts.inputLocked.back());
    readWaiting = false;
    answered.notify_all();
  });
  guiTick.start(0);
  backend->beforeRead = [&] {  // link thread
    std::unique_lock lock(mutex);
    readWaiting = true;
    answered.wait(lock, [&] { return !readWaiting; });
  };
  Click(IDC_FLASH_ERASE);
  guiTick.stop();
  backend->beforeRead = nullptr;
  ASSERT_FALSE(lockedDuringWait.empty());
  EXPECT_EQ(std::count(lockedDuringWait.begin(), lockedDuringWait.end(), false), 0);
  EXPECT_EQ(prompts.inputLocked, (std::vector<bool>{true, false}));

  // A link failing during the wait unlocks too.
  prompts.inputLocked.clear();
  camera->FailCall(camera->CallCount() + 2, ftstatus::kIoError);  // the first read of the wait
  Click(IDC_FLASH_ERASE);
  EXPECT_EQ(prompts.inputLocked, (std::vector<bool>{true, false}));
  EXPECT_EQ(prompts.shown.back().text, StatusText(ftstatus::kIoError));
}

TEST_F(EraseClockWindow, EraseFailureIsShownOverTheWindow) {
  options.eraseReply = 0x01;
  options.eraseMs = 0;
  StartAndMark();
  Click(IDC_FLASH_ERASE);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].caption, "Ошибка!");
  EXPECT_EQ(prompts.shown[1].icon, MessageIcon::Error);
}

TEST_F(EraseClockWindow, ClockDialogShowsTheCameraTimeAndOkSendsTheNewOne) {
  TimeZoneGuard zone("Etc/GMT-3");
  StartAndMark();
  QString shown;
  QDate date;
  ModalClockDialog modal([&](CTimeDlg& d) {
    shown = Shown(d);
    date = qobject_cast<QCalendarWidget*>(d.Control(IDC_TIME_CALENDAR))->selectedDate();
    EditOf(d, IDC_TIME_HOUR)->setText("16");
    ClickButton(d, IDC_TIME_OK);
  });
  Click(IDC_SET_CLOCK);
  EXPECT_EQ(modal.opened, 1);
  EXPECT_EQ(date, QDate(2009, 6, 15));
  EXPECT_EQ(shown, "15:0:0");
  // 2009-06-15 16:00:00 UTC+3 = 1245070800 = 0x4A3645D0.
  EXPECT_EQ(WritesSinceMark(), (std::vector<Bytes>{Bytes{CMD_GET_CLOCK}, Bytes{CMD_SET_CLOCK},
                                                   Bytes{0xD0, 0x45, 0x36, 0x4A}}));
  EXPECT_EQ(camera->Model().ClockValue(clock.NowMs()), 1'245'070'800u);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(EraseClockWindow, ClockDialogCancelSendsNothingMore) {
  StartAndMark();
  ModalClockDialog modal([](CTimeDlg& d) { ClickButton(d, IDC_TIME_CANCEL); });
  Click(IDC_SET_CLOCK);
  EXPECT_EQ(modal.opened, 1);
  EXPECT_EQ(WritesSinceMark(), std::vector<Bytes>{Bytes{CMD_GET_CLOCK}});
}

TEST_F(EraseClockWindow, RefusedHoursKeepTheDialogOpenWithTheFocusOnTheEdit) {
  StartAndMark();
  bool stayedOpen = false;
  bool focused = false;
  ModalClockDialog modal([&](CTimeDlg& d) {
    QLineEdit* hour = EditOf(d, IDC_TIME_HOUR);
    d.activateWindow();
    hour->setText("24");
    ClickButton(d, IDC_TIME_OK);
    stayedOpen = d.isVisible() && d.result() == 0;
    focused = d.focusWidget() == hour && hour->selectedText() == "24";
    hour->setText("23");
    ClickButton(d, IDC_TIME_OK);
  });
  Click(IDC_SET_CLOCK);
  EXPECT_TRUE(stayedOpen);
  EXPECT_TRUE(focused);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Please enter an integer between 0 and 23.");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Warning);
  ASSERT_EQ(WritesSinceMark().size(), 3u);  // sent once, after the correction
}

TEST_F(EraseClockWindow, SpinnerClickDiscardsTypedText) {
  TimeZoneGuard zone("UTC");
  StartAndMark();
  QString afterClick;
  ModalClockDialog modal([&](CTimeDlg& d) {
    EditOf(d, IDC_TIME_MINUTE)->setText("45");  // typed, never read back
    auto* spinner = qobject_cast<UpDownControl*>(d.Control(IDC_TIME_HOUR_SPIN));
    QTest::mouseClick(spinner->upButton(), Qt::LeftButton);
    afterClick = Shown(d);
    ClickButton(d, IDC_TIME_CANCEL);
  });
  Click(IDC_SET_CLOCK);
  EXPECT_EQ(afterClick, "13:0:0");
}

TEST_F(EraseClockWindow, ClockButtonDoesNothingWhileStreaming) {
  StartAndMark();
  Click(IDC_AUTONOMOUS);
  Click(IDC_START_STOP);  // autonomous: the button stays in, 1007 stays enabled
  ASSERT_NE(window->Camera().State().live.streamingFlag, 0);
  mark = backend->writes.size();
  ModalClockDialog modal(nullptr);
  Click(IDC_SET_CLOCK);
  QCoreApplication::processEvents();
  EXPECT_EQ(modal.opened, 0);
  EXPECT_TRUE(WritesSinceMark().empty());
  Click(IDC_START_STOP);
}

TEST_F(EraseClockWindow, FailedClockReadShowsTheLinkTextAndNoDialog) {
  StartAndMark();
  camera->FailCall(camera->CallCount() + 1, ftstatus::kIoError);
  ModalClockDialog modal(nullptr);
  Click(IDC_SET_CLOCK);
  QCoreApplication::processEvents();
  EXPECT_EQ(modal.opened, 0);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Ошибка ввода/вывода");
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
}

TEST_F(EraseClockWindow, OkAfterPagingTheCalendarSendsTheDateOnScreen) {
  TimeZoneGuard zone("Etc/GMT-3");
  StartAndMark();
  QDate shown;
  ModalClockDialog modal([&](CTimeDlg& d) {
    auto* calendar = qobject_cast<QCalendarWidget*>(d.Control(IDC_TIME_CALENDAR));
    calendar->showNextMonth();
    shown = calendar->selectedDate();
    ClickButton(d, IDC_TIME_OK);
  });
  Click(IDC_SET_CLOCK);
  EXPECT_EQ(modal.opened, 1);
  EXPECT_EQ(shown, QDate(2009, 7, 15));
  // 2009-07-15 15:00:00 UTC+3 = 1245067200 + 30 days = 1247659200 = 0x4A5DC4C0.
  EXPECT_EQ(WritesSinceMark(), (std::vector<Bytes>{Bytes{CMD_GET_CLOCK}, Bytes{CMD_SET_CLOCK},
                                                   Bytes{0xC0, 0xC4, 0x5D, 0x4A}}));
}

TEST(TimeDialogCalendar, SelectedDayFollowsThePageWithinTheMonth) {
  TimeZoneGuard zone("UTC");
  ScriptedPrompts prompts;
  CTimeDlg dialog(nullptr, prompts, [] { return UtcSeconds{0}; });
  dialog.SetTime(1'264'939'200);  // 2010-01-31 12:00:00
  dialog.show();
  auto* calendar = qobject_cast<QCalendarWidget*>(dialog.Control(IDC_TIME_CALENDAR));
  ASSERT_EQ(calendar->selectedDate(), QDate(2010, 1, 31));
  calendar->showNextMonth();
  EXPECT_EQ(calendar->selectedDate(), QDate(2010, 2, 28));
  calendar->setCurrentPage(2012, 2);
  EXPECT_EQ(calendar->selectedDate(), QDate(2012, 2, 28));
  calendar->showNextMonth();
  EXPECT_EQ(calendar->selectedDate(), QDate(2012, 3, 28));
  calendar->setCurrentPage(2012, 2);
  EXPECT_EQ(calendar->selectedDate(), QDate(2012, 2, 28));
  // A day clicked in another month's spill-over moves the page there, the day kept.
  calendar->setSelectedDate(QDate(2012, 3, 1));
  EXPECT_EQ(calendar->selectedDate(), QDate(2012, 3, 1));
  EXPECT_EQ(calendar->monthShown(), 3);
}

TEST(TimeDialogCalendar, EnterInTheYearFieldTakesTheYearAndKeepsTheDialogOpen) {
  TimeZoneGuard zone("UTC");
  ScriptedPrompts prompts;
  CTimeDlg dialog(nullptr, prompts, [] { return UtcSeconds{0}; });
  dialog.SetTime(1'245'067'200);  // 2009-06-15 12:00:00
  dialog.show();
  auto* calendar = qobject_cast<QCalendarWidget*>(dialog.Control(IDC_TIME_CALENDAR));
  auto* yearButton = calendar->findChild<QToolButton*>(QStringLiteral("qt_calendar_yearbutton"));
  auto* yearEdit = calendar->findChild<QSpinBox*>(QStringLiteral("qt_calendar_yearedit"));
  ASSERT_NE(yearButton, nullptr);
  ASSERT_NE(yearEdit, nullptr);
  QTest::mouseClick(yearButton, Qt::LeftButton);
  ASSERT_TRUE(yearEdit->isVisible());
  yearEdit->selectAll();
  QTest::keyClicks(yearEdit, QStringLiteral("2011"));
  QTest::keyClick(yearEdit, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(calendar->yearShown(), 2011);
  EXPECT_EQ(calendar->selectedDate(), QDate(2011, 6, 15));
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(TimeDialogTemplate, ControlsCaptionsPlacesAndTabOrder) {
  ScriptedPrompts prompts;
  CTimeDlg dialog(nullptr, prompts, [] { return UtcSeconds{0}; });
  EXPECT_EQ(dialog.windowTitle(), "Установите дату и время");
  const DialogBaseUnits units = MeasureBaseUnits(dialog.font());
  EXPECT_EQ(dialog.size(), QSize(DialogXToPixels(157, units), DialogYToPixels(169, units)));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // not resizable

  for (const ControlRow& row : TimeDlgControls()) {
    if (row.id == 0) continue;
    QWidget* w = dialog.Control(row.id);
    ASSERT_NE(w, nullptr) << row.id;
    EXPECT_EQ(w->geometry(), DialogToPixels(QRect(row.x, row.y, row.width, row.height), units))
        << row.id;
  }
  auto* ok = qobject_cast<QPushButton*>(dialog.Control(IDC_TIME_OK));
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(qobject_cast<QPushButton*>(dialog.Control(IDC_TIME_TAKE_PC))->text(), "Как в комп.");
  EXPECT_EQ(qobject_cast<QPushButton*>(dialog.Control(IDC_TIME_CANCEL))->text(), "Отмена");
  const QList<QLabel*> labels = dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(labels.size(), 1);
  EXPECT_EQ(labels[0]->text(), "час.          мин.          сек.");
  EXPECT_EQ(labels[0]->geometry(), DialogToPixels(QRect(32, 114, 84, 8), units));

  auto* calendar = qobject_cast<QCalendarWidget*>(dialog.Control(IDC_TIME_CALENDAR));
  EXPECT_EQ(calendar->selectionMode(), QCalendarWidget::SingleSelection);
  EXPECT_EQ(calendar->verticalHeaderFormat(), QCalendarWidget::NoVerticalHeader);

  // Tab order: OK, Отмена, calendar, hours, minutes, seconds, Как в комп.; spinners and the
  // label take no focus.
  for (int id : {IDC_TIME_HOUR_SPIN, IDC_TIME_MINUTE_SPIN, IDC_TIME_SECOND_SPIN}) {
    EXPECT_EQ(dialog.Control(id)->focusPolicy(), Qt::NoFocus) << id;
  }
  EXPECT_EQ(labels[0]->focusPolicy(), Qt::NoFocus);
  const int order[] = {IDC_TIME_OK,     IDC_TIME_CANCEL, IDC_TIME_CALENDAR, IDC_TIME_HOUR,
                       IDC_TIME_MINUTE, IDC_TIME_SECOND, IDC_TIME_TAKE_PC};
  // Each tab stop counts as the dialog's control it belongs to (the calendar has inner ones).
  std::vector<int> chain;
  QWidget* w = ok;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) != 0) {
      QWidget* control = w;
      while (control->parentWidget() != nullptr && control->parentWidget() != &dialog) {
        control = control->parentWidget();
      }
      const int id = control->objectName().toInt();
      if (chain.empty() || chain.back() != id) chain.push_back(id);
    }
    w = w->nextInFocusChain();
  } while (w != ok);
  EXPECT_EQ(chain, std::vector<int>(std::begin(order), std::end(order)));
}

}  // namespace
}  // namespace bf::test
