// The date-and-time dialog's behaviour without its widgets: what it shows for a clock value,
// the spinners, the edits' exchange and its messages, and the moment OK produces.
#include "clock/TimeDialogPresenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>

#include "host/ReportSystemError.h"
#include "support/ScriptedPrompts.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

constexpr UtcSeconds kJune2009Noon = 1'245'067'200;  // 2009-06-15 12:00:00 UTC

// The dialog's controls as plain values; the spinners clamp as the real control does.
class FakeTimeView final : public TimeDialogView {
 public:
  std::optional<CalendarDate> date = CalendarDate{2024, 5, 1};  // the calendar's own default
  std::map<ClockField, std::string> edits;
  struct Spin {
    int minimum = 0, maximum = 0, position = 0;
  };
  std::map<ClockField, Spin> spinners;
  std::optional<ClockField> focused;

  void SelectDate(const CalendarDate& d) override { date = d; }
  std::optional<CalendarDate> SelectedDate() const override { return date; }
  void SetSpinner(ClockField f, int minimum, int maximum, int16_t position) override {
    spinners[f] = Spin{minimum, maximum, std::clamp<int>(position, minimum, maximum)};
  }
  std::string EditText(ClockField f) const override { return edits.at(f); }
  void SetEditText(ClockField f, const std::string& text) override { edits[f] = text; }
  void FocusEdit(ClockField f) override { focused = f; }

  void Type(const std::string& h, const std::string& m, const std::string& s) {
    edits[ClockField::Hour] = h;
    edits[ClockField::Minute] = m;
    edits[ClockField::Second] = s;
  }
  std::string Shown() const {
    return edits.at(ClockField::Hour) + ":" + edits.at(ClockField::Minute) + ":" +
           edits.at(ClockField::Second);
  }
};

class TimeDialogTest : public ::testing::Test {
 protected:
  FakeTimeView view;
  ScriptedPrompts prompts;
  UtcSeconds pcNow = 1'700'000'000;
  TimeDialogPresenter dialog{view, prompts, [this] { return pcNow; }};

  void Open(UtcSeconds time) {
    dialog.SetTime(time);
    dialog.OnInitDialog();
  }
};

TEST_F(TimeDialogTest, EncodingExampleShowsInUtcPlusThree) {
  TimeZoneGuard zone("Etc/GMT-3");  // UTC+3 without daylight saving
  Open(kJune2009Noon);
  EXPECT_EQ(view.date, (CalendarDate{2009, 6, 15}));
  EXPECT_EQ(view.Shown(), "15:0:0");  // no leading zeros
  EXPECT_EQ(view.spinners[ClockField::Hour].maximum, 23);
  EXPECT_EQ(view.spinners[ClockField::Hour].position, 15);
  EXPECT_EQ(view.spinners[ClockField::Minute].maximum, 59);
  EXPECT_EQ(view.spinners[ClockField::Second].maximum, 59);
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), kJune2009Noon);
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(TimeDialogTest, NeverSetClockOpensAtTheFirstSecondOf1970InLocalTime) {
  {
    TimeZoneGuard zone("UTC");
    Open(0);
    EXPECT_EQ(view.date, (CalendarDate{1970, 1, 1}));
    EXPECT_EQ(view.Shown(), "0:0:0");
    EXPECT_TRUE(dialog.OnOk());
    EXPECT_EQ(dialog.Time(), 0);
  }
  {
    TimeZoneGuard zone("Europe/Moscow");
    Open(0);
    EXPECT_EQ(view.date, (CalendarDate{1970, 1, 1}));
    EXPECT_EQ(view.Shown(), "3:0:0");
  }
}

TEST_F(TimeDialogTest, ValuesPast2038RoundTripUnchanged) {
  for (const char* name : {"UTC", "Europe/Moscow", "Europe/Berlin"}) {
    TimeZoneGuard zone(name);
    for (UtcSeconds t : {UtcSeconds{0x80000000}, UtcSeconds{0xDEADBEEF},
                         UtcSeconds{std::numeric_limits<uint32_t>::max()}}) {
      Open(t);
      ASSERT_TRUE(dialog.OnOk()) << name << " " << t;
      EXPECT_EQ(dialog.Time(), t) << name;
    }
  }
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(TimeDialogTest, UnconvertibleTimeShowsAllOnesAndKeepsTheCalendar) {
  TimeZoneGuard zone("UTC");
  Open(kLocalTimeMin - 1);
  EXPECT_EQ(view.date, (CalendarDate{2024, 5, 1}));
  EXPECT_EQ(view.Shown(), "4294967295:4294967295:4294967295");
  EXPECT_EQ(view.spinners[ClockField::Hour].position, 0);  // 16-bit -1, clamped
  EXPECT_FALSE(dialog.OnOk());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "Please enter an integer between 0 and 23.");
  // Corrected fields are accepted.
  view.Type("1", "2", "3");
  EXPECT_TRUE(dialog.OnOk());
}

TEST_F(TimeDialogTest, RefusedEditsShowTheirMessageAndTakeTheFocus) {
  TimeZoneGuard zone("UTC");
  struct Case {
    const char* h;
    const char* m;
    const char* s;
    const char* text;
    MessageIcon icon;
    ClockField field;
  };
  const Case cases[] = {
      {"24", "0", "0", "Please enter an integer between 0 and 23.", MessageIcon::Warning,
       ClockField::Hour},
      {"-1", "0", "0", "Please enter an integer between 0 and 23.", MessageIcon::Warning,
       ClockField::Hour},
      {"abc", "0", "0", "Please enter a positive integer.", MessageIcon::None, ClockField::Hour},
      {"", "0", "0", "Please enter a positive integer.", MessageIcon::None, ClockField::Hour},
      {"1", "60", "0", "Please enter an integer between 0 and 59.", MessageIcon::Warning,
       ClockField::Minute},
      {"1", "2", "", "Please enter a positive integer.", MessageIcon::None, ClockField::Second},
      {"1", "2", "99", "Please enter an integer between 0 and 59.", MessageIcon::Warning,
       ClockField::Second},
  };
  for (const Case& c : cases) {
    Open(kJune2009Noon);
    prompts.shown.clear();
    view.focused.reset();
    view.Type(c.h, c.m, c.s);
    EXPECT_FALSE(dialog.OnOk()) << c.h << ":" << c.m << ":" << c.s;
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, c.text);
    EXPECT_EQ(prompts.shown[0].icon, c.icon);
    EXPECT_EQ(prompts.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(view.focused, c.field);
  }
}

TEST_F(TimeDialogTest, TrailingLettersAndBlanksAreTolerated) {
  TimeZoneGuard zone("UTC");
  Open(kJune2009Noon);
  view.Type("12abc", " 30", "+5");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), kJune2009Noon + 30 * 60 + 5);
  EXPECT_EQ(dialog.Hour(), 12u);
}

TEST_F(TimeDialogTest, SpinnerClickReplacesTypedTextByTheStoredFields) {
  TimeZoneGuard zone("UTC");
  Open(kJune2009Noon + 10 * 60 + 20);  // 12:10:20
  view.Type("7", "45", "33");          // typed, not read back
  dialog.OnSpinnerScroll(4, 13, ClockField::Hour);
  EXPECT_EQ(view.Shown(), "13:10:20");
  view.Type("7", "45", "33");
  dialog.OnSpinnerScroll(TimeDialogPresenter::kEndScroll, 13, ClockField::Hour);
  EXPECT_EQ(view.Shown(), "7:45:33");  // end of scroll: ignored entirely
  dialog.OnSpinnerScroll(4, 50, std::nullopt);
  EXPECT_EQ(view.Shown(), "13:10:20");  // unknown sender: no field changes, text rewritten
  dialog.OnSpinnerScroll(4, 59, ClockField::Second);
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), kJune2009Noon + 3600 + 10 * 60 + 59);
}

TEST_F(TimeDialogTest, PcTimeIsTheMomentOfTheButtonNotOfOk) {
  TimeZoneGuard zone("Europe/Berlin");
  Open(kJune2009Noon);
  pcNow = 1'717'243'200;  // 2024-06-01 12:00:00 UTC
  dialog.OnTakePcTime();
  EXPECT_EQ(view.date, (CalendarDate{2024, 6, 1}));
  EXPECT_EQ(view.Shown(), "14:0:0");
  pcNow += 10;  // OK ten seconds later
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 1'717'243'200);
}

TEST_F(TimeDialogTest, DaylightSavingDayKeepsTheWallClockReading) {
  TimeZoneGuard zone("Europe/Berlin");
  // 12:00:00 on the day summer time began is 10:00 UTC, not local midnight (23:00 UTC the day
  // before) plus twelve hours.
  Open(kJune2009Noon);
  view.date = CalendarDate{2009, 3, 29};
  view.Type("12", "0", "0");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 1'238'320'800);
  // Opening again shows what was entered, and OK without changes keeps the value.
  dialog.ShowTime();
  EXPECT_EQ(view.Shown(), "12:0:0");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 1'238'320'800);
  // The day it ended.
  view.date = CalendarDate{2009, 10, 25};
  view.Type("12", "0", "0");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 1'256'468'400);
}

TEST_F(TimeDialogTest, DateWhoseMidnightIsBefore1970IsRefused) {
  TimeZoneGuard zone("Europe/Moscow");
  const std::string invalidParameter = SystemErrorText(EINVAL);
  for (CalendarDate date :
       {CalendarDate{1970, 1, 1}, CalendarDate{1969, 12, 31}, CalendarDate{1900, 1, 1}}) {
    Open(kJune2009Noon);
    prompts.shown.clear();
    view.date = date;
    view.Type("5", "0", "0");
    EXPECT_FALSE(dialog.OnOk()) << date.year;
    ASSERT_EQ(prompts.shown.size(), 1u);  // no field message follows
    EXPECT_EQ(prompts.shown[0].text, invalidParameter);
    EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  }
}

TEST_F(TimeDialogTest, YearBefore1900CountsOnlyTheTimeOfDay) {
  TimeZoneGuard zone("Europe/Moscow");
  Open(kJune2009Noon);
  view.date = CalendarDate{1899, 12, 31};
  view.Type("5", "6", "7");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 5 * 3600 + 6 * 60 + 7);
}

TEST_F(TimeDialogTest, DatesThe32BitClockCannotHoldAreRefused) {
  TimeZoneGuard zone("UTC");
  Open(kJune2009Noon);
  view.date = CalendarDate{2106, 2, 7};
  view.Type("6", "28", "15");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), UtcSeconds{std::numeric_limits<uint32_t>::max()});
  view.Type("6", "28", "16");
  EXPECT_FALSE(dialog.OnOk());
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].icon, MessageIcon::Error);
  view.date = CalendarDate{2500, 1, 1};
  EXPECT_FALSE(dialog.OnOk());
}

TEST_F(TimeDialogTest, NoCalendarSelectionAddsTheFieldsToTheTimeShown) {
  TimeZoneGuard zone("UTC");
  Open(1000);
  view.date.reset();
  view.Type("1", "0", "0");
  ASSERT_TRUE(dialog.OnOk());
  EXPECT_EQ(dialog.Time(), 1000 + 3600);
}

}  // namespace
}  // namespace bf::test
