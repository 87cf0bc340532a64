// What the operator sees of the live view: the overlay line of each live frame, the rotation
// chosen before Start, on the real window.
#include <QFontMetrics>
#include <cstdlib>
#include <ctime>

#include "MainWindowFixture.h"
#include "frames/OverlayText.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

using namespace bf::ui;

class LiveDisplay : public MainWindowTest {
 protected:
  LiveDisplay() { options.frameRateIndex = 7; }

  TimeZoneGuard utc{"UTC"};

  // Runs the live view; `during` runs at each pump and returns true to press Stop.
  void RunLive(const std::function<bool()>& during) {
    uint64_t start = clock.NowMs();
    WhileLive([&](int) {
      if (!during() && clock.NowMs() - start <= 10 * 60 * 1000) return false;
      Click(IDC_START_STOP);
      return true;
    });
  }

  CBfkPlayer& Player() { return window->PlayerWindow(); }

  // The player as the screen shows it: grab() paints into a fresh image, where the background
  // the screen keeps from earlier paints is not there unless the paint erases it.
  QImage Shot() {
    Player().EraseOnNextPaint();
    return Player().grab().toImage();
  }

  // Columns of the overlay strip where text was drawn (pixels darker than the button face).
  int RightmostTextColumn(const QImage& shot) {
    const QColor face = Player().palette().color(QPalette::Button);
    const int height = QFontMetrics(Player().font()).height();
    int rightmost = -1;
    for (int y = 0; y < height && y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) {
        if (shot.pixelColor(x, y).lightness() + 60 < face.lightness())
          rightmost = std::max(rightmost, x);
      }
    }
    return rightmost;
  }
};

TEST_F(LiveDisplay, EachLiveFrameCarriesItsOverlayLineAboveThePicture) {
  Start();
  QString text;
  QImage shot;
  RunLive([&] {
    if (!Player().HasPicture()) return false;
    text = QString::fromStdString(BuildOverlayText(Player().ShownHeader()));
    shot = Shot();
    return true;
  });
  // The simulated camera's clock starts at 2009-06-15 12:00:00 UTC; compression 2, colour,
  // maximum rate, detector off (seven spaces).
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(text.startsWith("15.06.09, 12:0")) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" / 2q / COL / Max fps /       ")) << text.toStdString();
  const int advance = QFontMetrics(Player().font()).horizontalAdvance(text);
  const int rightmost = RightmostTextColumn(shot);
  EXPECT_GT(rightmost, advance / 2);
  EXPECT_LT(rightmost, advance);
  // Below the strip: the picture, from 20 pixels down.
  EXPECT_NE(shot.pixelColor(40, 60), Player().palette().color(QPalette::Button));

  // After Stop the display is cleared: no line, no picture.
  EXPECT_FALSE(IsFrameHeader(Player().ShownHeader()));
  EXPECT_EQ(RightmostTextColumn(Shot()), -1);
}

TEST_F(LiveDisplay, RotationChosenBeforeStartTurnsTheLiveFrames) {
  Start();
  Click(IDC_ROTATE_90);
  QSize size;
  RunLive([&] {
    if (!Player().HasPicture()) return false;
    size = Player().PictureSize();
    return true;
  });
  EXPECT_EQ(size, QSize(240, 320));
}

}  // namespace
}  // namespace bf::test
