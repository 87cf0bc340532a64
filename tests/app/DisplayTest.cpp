// The frame display window: what a shown frame, a frame that fails to decode and a cleared
// display put on the screen, including the overlay line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <atomic>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "frames/HeaderGenerator.h"
#include "frames/JpegEncoder.h"
#include "frames/OverlayText.h"
#include "picture/CBfkPlayer.h"
#include "support/TimeZoneGuard.h"

namespace bf::test {
namespace {

const QColor kSentinel(1, 2, 3);
constexpr uint32_t kExampleTime = 1'796'565'785;  // 06.12.2026 14:03:05 UTC

// A 320 x 240 picture: left half dark, right half light.
std::vector<uint8_t> HalvesRgb() {
  std::vector<uint8_t> rgb(320 * 240 * 3);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint8_t v = x < 160 ? 30 : 220;
      uint8_t* p = &rgb[static_cast<std::size_t>((y * 320 + x) * 3)];
      p[0] = v;
      p[1] = v;
      p[2] = v;
    }
  }
  return rgb;
}

class DisplayTest : public ::testing::Test {
 protected:
  DisplayTest() : table(GenerateHeaderTable({320, 240})), player(table) {
    player.resize(340, 280);
    player.SetOffset(0, 20);
    Render();  // consume the first-show erase
  }

  QImage Render() {
    QImage image(player.size(), QImage::Format_RGB32);
    image.fill(kSentinel);
    player.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
  }

  // A live-like frame: header plus the payload the camera would send.
  std::pair<FrameHeader, std::vector<uint8_t>> Frame(uint8_t compression, bool mono, uint8_t rate,
                                                     uint8_t flags) {
    std::vector<uint8_t> payload = encoder.Encode(rgb.data(), mono, compression);
    const FrameHeader header =
        FrameHeader::Make(static_cast<uint16_t>(16 + payload.size()), kExampleTime, compression,
                          mono ? 1 : 0, rate, flags);
    return {header, std::move(payload)};
  }

  // Width of the painted overlay: the first column on the top row left as it was.
  static int OverlayExtent(const QImage& image) {
    const int row = 2;
    int x = 0;
    while (x < image.width() && image.pixelColor(x, row) != kSentinel) ++x;
    return x;
  }

  TimeZoneGuard utc{"UTC"};
  JpegHeaderTable table;
  CBfkPlayer player;
  FramePayloadEncoder encoder{{320, 240}};
  const std::vector<uint8_t> rgb = HalvesRgb();
};

TEST_F(DisplayTest, ShownFrameDrawsThePictureBelowAndTheOverlayLineAbove) {
  auto [header, payload] = Frame(2, false, 6, 0x01);
  ASSERT_TRUE(player.ShowFrame(header, payload));
  EXPECT_EQ(player.ShownHeader().bytes, header.bytes);
  EXPECT_EQ(player.PictureSize(), QSize(320, 240));

  const QString expected = QString::fromUtf8("06.12.26, 14:03:05 / 2q / COL / 4 fps / MD    ");
  ASSERT_EQ(QString::fromStdString(BuildOverlayText(player.ShownHeader())), expected);

  const QImage out = Render();
  const QFontMetrics metrics(player.font());
  // Opaque text background exactly as wide as the text, trailing spaces included.
  EXPECT_EQ(OverlayExtent(out), metrics.horizontalAdvance(expected));
  EXPECT_EQ(out.pixelColor(metrics.horizontalAdvance(expected) - 1, 2),
            player.palette().color(QPalette::Button));
  EXPECT_LT(out.pixelColor(80, 140).red(), 60);
  EXPECT_GT(out.pixelColor(240, 140).red(), 190);
  EXPECT_EQ(out.pixelColor(330, 140), kSentinel);  // right of the picture: untouched
}

TEST_F(DisplayTest, BlackAndWhiteFramesAtEveryCompressionDecode) {
  for (uint8_t compression = 0; compression <= 4; ++compression) {
    for (bool mono : {false, true}) {
      auto [header, payload] = Frame(compression, mono, 7, 0);
      EXPECT_TRUE(player.ShowFrame(header, payload)) << int{compression} << mono;
      EXPECT_EQ(player.PictureSize(), QSize(320, 240));
    }
  }
}

TEST_F(DisplayTest, FrameThatFailsToDecodeStillUpdatesTheOverlay) {
  auto [good, goodPayload] = Frame(1, false, 3, 0);
  ASSERT_TRUE(player.ShowFrame(good, goodPayload));
  Render();

  // Compression 7 has no table entry, so nothing decodable can be rebuilt.
  const FrameHeader bad = FrameHeader::Make(16 + 40, kExampleTime + 60, 7, 1, 7, 0);
  const std::vector<uint8_t> garbage(40, 0x00);
  EXPECT_FALSE(player.ShowFrame(bad, garbage));
  EXPECT_EQ(player.ShownHeader().bytes, bad.bytes);
  EXPECT_FALSE(player.HasPicture());

  const QImage out = Render();
  const QString text = QString::fromStdString(BuildOverlayText(bad));
  EXPECT_EQ(text, QString::fromUtf8("06.12.26, 14:04:05 / BW / Max fps /       "));
  EXPECT_EQ(OverlayExtent(out), QFontMetrics(player.font()).horizontalAdvance(text));
  EXPECT_EQ(out.pixelColor(80, 140), kSentinel);  // no picture drawn
}

TEST_F(DisplayTest, ClearDisplayEmptiesPictureAndOverlay) {
  auto [header, payload] = Frame(2, false, 6, 0);
  ASSERT_TRUE(player.ShowFrame(header, payload));
  player.ClearDisplay();
  EXPECT_FALSE(IsFrameHeader(player.ShownHeader()));
  EXPECT_FALSE(player.HasPicture());
  // The whole area is erased once: nothing of the picture or the line survives.
  const QImage out = Render();
  const QColor face = player.palette().color(QPalette::Button);
  for (const QPoint p : {QPoint(2, 2), QPoint(80, 140), QPoint(240, 140), QPoint(339, 279)}) {
    EXPECT_EQ(out.pixelColor(p), face) << p.x() << "," << p.y();
  }
  EXPECT_EQ(OverlayExtent(Render()), 0);  // and no overlay afterwards
}

TEST_F(DisplayTest, FramesShownFromAnotherThreadRepaintOnTheGuiThread) {
  QWidget window;
  CBfkPlayer shown(table, &window);
  shown.setGeometry(0, 0, 340, 280);
  shown.SetOffset(0, 20);
  window.show();
  QApplication::processEvents();

  auto [header, payload] = Frame(2, false, 6, 0);
  std::atomic<int> accepted{0};
  std::thread timer([&, h = header, p = payload] {
    for (int i = 0; i < 50; ++i) accepted += shown.ShowFrame(h, p) ? 1 : 0;
  });
  // Paint while the other thread replaces the picture.
  while (accepted.load() < 50) {
    shown.repaint();
    QApplication::processEvents();
  }
  timer.join();
  QApplication::processEvents();
  EXPECT_EQ(accepted.load(), 50);
  EXPECT_EQ(shown.PictureSize(), QSize(320, 240));
}

}  // namespace
}  // namespace bf::test
