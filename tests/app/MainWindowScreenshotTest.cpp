// A picture of the main window showing a live frame with its overlay line. Saved to the file
// named by BF_SCREENSHOT when set (that is how docs/screenshot-main-window.png is made).
#include <QImage>
#include <QPixmap>
#include <cstdlib>

#include "MainWindowFixture.h"

namespace bf::test {
namespace {

using namespace bf::ui;

TEST_F(MainWindowTest, GrabShowsTheLiveFrameInThePictureArea) {
  options.frameRateIndex = 7;
  options.motionDetector = true;
  Start();
  QImage shot;
  int pump = 0;
  WhileLive([&](int) {
    if (!window->PlayerWindow().HasPicture() || ++pump < 3) return false;
    shot = window->grab().toImage();
    Click(IDC_START_STOP);
    return true;
  });
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.size(), window->size() * window->devicePixelRatio());

  // The picture sits 20 pixels below the top of the picture area and is not one flat colour.
  const QRect area = W(IDC_PICTURE)->geometry();
  const QColor corner = shot.pixelColor(area.left() + 5, area.top() + 25);
  bool varied = false;
  for (int y = area.top() + 25; y < area.top() + 200 && !varied; y += 7) {
    for (int x = area.left() + 5; x < area.left() + 300 && !varied; x += 7) {
      varied = shot.pixelColor(x, y) != corner;
    }
  }
  EXPECT_TRUE(varied);

  if (const char* path = std::getenv("BF_SCREENSHOT")) {
    EXPECT_TRUE(shot.save(path, "PNG"));
  }
}

}  // namespace
}  // namespace bf::test
