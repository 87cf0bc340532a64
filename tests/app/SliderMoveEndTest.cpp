// The end of a slider move by keyboard: a held key's auto-repeat, whichever way its releases
// are flagged, ends once, after the quiet time that follows the last release.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSlider>

#include "ManualQuietTimers.h"
#include "mainwindow/SliderMoveEnd.h"

namespace bf::test {
namespace {

class SliderMoveEndTest : public ::testing::Test {
 protected:
  SliderMoveEndTest() {
    slider.setRange(0, 30);
    slider.setValue(15);
    auto owned = std::make_unique<ManualQuietTimer>();
    quiet = owned.get();
    new ui::SliderMoveEnd(
        &slider, [this] { ended.push_back(slider.value()); }, std::move(owned));
  }

  void Send(QEvent::Type type, Qt::Key key, bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(&slider, &event);
  }
  // The press, `repeats` release-press pairs whose releases claim `releaseFlag` (X11 gets it
  // wrong for about half of them), then the release of the key.
  void Hold(Qt::Key key, int repeats, bool releaseFlag) {
    Send(QEvent::KeyPress, key);
    for (int i = 0; i < repeats; ++i) {
      Send(QEvent::KeyRelease, key, releaseFlag);
      Send(QEvent::KeyPress, key, true);
    }
    Send(QEvent::KeyRelease, key);
  }

  QSlider slider{Qt::Horizontal};
  ManualQuietTimer* quiet = nullptr;
  std::vector<int> ended;
};

TEST_F(SliderMoveEndTest, HeldKeyEndsOnceAfterTheQuietTimeWhateverTheRepeatFlagSays) {
  for (bool flagged : {false, true}) {
    ended.clear();
    slider.setValue(15);
    Hold(Qt::Key_Left, 9, flagged);
    EXPECT_EQ(slider.value(), 5) << flagged;
    EXPECT_TRUE(ended.empty()) << flagged;
    ASSERT_TRUE(quiet->Armed()) << flagged;
    quiet->RunOut();
    EXPECT_EQ(ended, std::vector<int>{5}) << flagged;
  }
}

TEST_F(SliderMoveEndTest, RepeatsMixedLikeX11AreOneMove) {
  Send(QEvent::KeyPress, Qt::Key_Right);
  for (int i = 0; i < 8; ++i) {
    Send(QEvent::KeyRelease, Qt::Key_Right, i % 2 == 0);
    // A quiet timer that ran out between a release and its press would end the move early;
    // the press comes first and disarms it.
    Send(QEvent::KeyPress, Qt::Key_Right, true);
    EXPECT_FALSE(quiet->Armed()) << i;
  }
  Send(QEvent::KeyRelease, Qt::Key_Right);
  quiet->RunOut();
  EXPECT_EQ(ended, std::vector<int>{24});
}

TEST_F(SliderMoveEndTest, SingleStepEndsAfterTheQuietTimeAndOnlyOnce) {
  Send(QEvent::KeyPress, Qt::Key_Right);
  Send(QEvent::KeyRelease, Qt::Key_Right);
  EXPECT_TRUE(ended.empty());
  quiet->RunOut();
  quiet->RunOut();
  EXPECT_EQ(ended, std::vector<int>{16});
}

TEST_F(SliderMoveEndTest, AnotherKeyEndsTheMoveBeforeItAtOnce) {
  Hold(Qt::Key_Left, 2, false);
  Send(QEvent::KeyPress, Qt::Key_Right);
  EXPECT_EQ(ended, std::vector<int>{12});
  Send(QEvent::KeyRelease, Qt::Key_Right);
  quiet->RunOut();
  EXPECT_EQ(ended, (std::vector<int>{12, 13}));
}

TEST_F(SliderMoveEndTest, LosingTheFocusEndsAHeldKeyAtOnce) {
  Send(QEvent::KeyPress, Qt::Key_Down);
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(&slider, &out);
  EXPECT_EQ(ended, std::vector<int>{14});
  quiet->RunOut();
  EXPECT_EQ(ended.size(), 1u);
}

}  // namespace
}  // namespace bf::test
