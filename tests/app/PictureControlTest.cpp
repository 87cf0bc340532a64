// The picture control's placement, rotation, invalidation and failure rules, read back from
// pixels rendered by the real widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <memory>

#include "PictureTestImages.h"
#include "picture/CPictureControl.h"

namespace bf::test {
namespace {

const QColor kSentinel(1, 2, 3);

class PictureControlTest : public ::testing::Test {
 protected:
  PictureControlTest() : control(/*autoLoad=*/true) {
    control.SetOffset(0, 20);
    Render();  // consumes the first-show erase, so later renders show only what is drawn
  }

  bool Show(const std::vector<uint8_t>& jpeg) { return control.ShowJpeg(jpeg.data(), jpeg.size()); }

  // The control's paint over a background of kSentinel.
  QImage Render() {
    QImage image(control.size(), QImage::Format_RGB32);
    image.fill(kSentinel);
    control.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
  }

  CPictureControl control;
  const std::vector<uint8_t> quadrants = EncodeJpeg(QuadrantImage(320, 240));
};

TEST_F(PictureControlTest, PictureThatFitsIsDrawnAtNaturalSizeAtTheOffset) {
  control.resize(320, 260);  // exactly 20 pixels taller than the picture
  Render();
  ASSERT_TRUE(Show(quadrants));
  const QImage out = Render();
  EXPECT_EQ(out.pixelColor(5, 19), kSentinel);  // the strip above is left alone
  EXPECT_TRUE(Near(out.pixelColor(5, 20), kTopLeft));
  EXPECT_TRUE(Near(out.pixelColor(159, 139), kTopLeft));  // last row of the top half
  EXPECT_TRUE(Near(out.pixelColor(160, 140), kBottomRight));
  EXPECT_TRUE(Near(out.pixelColor(319, 259), kBottomRight));
}

TEST_F(PictureControlTest, OnePixelTooTallIsSqueezedVerticallyOnly) {
  control.resize(320, 259);
  Render();
  ASSERT_TRUE(Show(quadrants));
  const QImage out = Render();
  // At natural size row 139 would still be the top half; squeezed into 239 rows it is not.
  EXPECT_FALSE(Near(out.pixelColor(60, 139), kTopLeft, 8));
  EXPECT_TRUE(Near(out.pixelColor(60, 138), kTopLeft));
  EXPECT_TRUE(Near(out.pixelColor(319, 258), kBottomRight));
  // Width fits: the vertical edge stays where it was.
  EXPECT_TRUE(Near(out.pixelColor(159, 60), kTopLeft));
  EXPECT_TRUE(Near(out.pixelColor(160, 60), kTopRight));
}

TEST_F(PictureControlTest, PictureStickingOutIsSqueezedIntoTheVisiblePart) {
  control.resize(200, 140);  // visible part 200 x 120 below the offset
  Render();
  ASSERT_TRUE(Show(quadrants));
  const QImage out = Render();
  EXPECT_TRUE(Near(out.pixelColor(97, 77), kTopLeft));
  EXPECT_TRUE(Near(out.pixelColor(103, 77), kTopRight));
  EXPECT_TRUE(Near(out.pixelColor(97, 83), kBottomLeft));
  EXPECT_TRUE(Near(out.pixelColor(199, 139), kBottomRight));
  EXPECT_EQ(out.pixelColor(5, 19), kSentinel);
}

TEST_F(PictureControlTest, NoOverlapFallsBackToNaturalSizeAtTheOrigin) {
  control.resize(400, 300);
  control.SetOffset(500, 20);
  Render();
  ASSERT_TRUE(Show(quadrants));
  const QImage out = Render();
  EXPECT_TRUE(Near(out.pixelColor(0, 0), kTopLeft));
  EXPECT_TRUE(Near(out.pixelColor(319, 239), kBottomRight));
  EXPECT_TRUE(Near(out.pixelColor(159, 119), kTopLeft));
  EXPECT_EQ(out.pixelColor(320, 5), kSentinel);
  EXPECT_EQ(out.pixelColor(5, 240), kSentinel);
}

TEST_F(PictureControlTest, RotationTurnsTheNextPictureClockwiseAndLeavesTheShownOne) {
  control.resize(400, 400);
  Render();
  ASSERT_TRUE(Show(quadrants));
  control.SetRotation(Rotation::Cw90);
  EXPECT_EQ(control.PictureSize(), QSize(320, 240));  // the picture on display is untouched
  EXPECT_TRUE(Near(Render().pixelColor(5, 25), kTopLeft));

  struct Case {
    Rotation rotation;
    QSize size;
    QColor topLeft;
  };
  for (const Case& c :
       {Case{Rotation::Cw90, {240, 320}, kBottomLeft},
        Case{Rotation::Cw180, {320, 240}, kBottomRight},
        Case{Rotation::Cw270, {240, 320}, kTopRight}, Case{Rotation::None, {320, 240}, kTopLeft}}) {
    control.SetRotation(c.rotation);
    ASSERT_TRUE(Show(quadrants));
    EXPECT_EQ(control.PictureSize(), c.size) << static_cast<int>(c.rotation);
    EXPECT_TRUE(Near(Render().pixelColor(5, 25), c.topLeft)) << static_cast<int>(c.rotation);
  }
}

TEST_F(PictureControlTest, FailedDecodeReleasesThePreviousPictureAndDrawsNothing) {
  control.resize(320, 260);
  Render();
  ASSERT_TRUE(Show(quadrants));
  const std::vector<uint8_t> garbage(500, 0x5A);
  EXPECT_FALSE(Show(garbage));
  EXPECT_FALSE(control.HasPicture());
  EXPECT_EQ(control.PictureSize(), QSize(0, 0));
  const QImage out = Render();
  EXPECT_EQ(out.pixelColor(100, 100), kSentinel);  // erasing is suppressed: nothing painted
  EXPECT_FALSE(control.ShowJpeg(nullptr, 0));
}

TEST_F(PictureControlTest, MissingEmbeddedPictureKeepsTheCurrentOne) {
  ASSERT_TRUE(Show(quadrants));
  CPicture picture;
  EXPECT_FALSE(picture.LoadFromResource(1001));
  control.Attach(1001);  // has a picture already: nothing to load
  control.LoadInitialPicture(1001);
  EXPECT_TRUE(control.HasPicture());

  CPictureControl empty(/*autoLoad=*/true);
  empty.Attach(1001);
  EXPECT_FALSE(empty.HasPicture());
}

// Records the regions of the paint events a widget receives.
class PaintSpy : public QObject {
 public:
  std::vector<QRegion> regions;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      regions.push_back(static_cast<QPaintEvent*>(event)->region());
    return false;
  }
};

TEST_F(PictureControlTest, EachNewPictureRepaintsOnlyTheAreaOfThePictureItReplaces) {
  QWidget window;
  auto* shown = new CPictureControl(true, &window);
  shown->setGeometry(0, 0, 400, 400);
  shown->SetOffset(0, 20);
  window.show();
  QApplication::processEvents();
  PaintSpy spy;
  shown->installEventFilter(&spy);

  // No picture yet: the invalidated rectangle is empty, so nothing repaints.
  ASSERT_TRUE(shown->ShowJpeg(quadrants.data(), quadrants.size()));
  QApplication::processEvents();
  EXPECT_TRUE(spy.regions.empty());

  // Then the old picture's rectangle, even when the new one is turned and larger downwards.
  shown->SetRotation(Rotation::Cw90);
  ASSERT_TRUE(shown->ShowJpeg(quadrants.data(), quadrants.size()));
  QApplication::processEvents();
  ASSERT_EQ(spy.regions.size(), 1u);
  EXPECT_EQ(spy.regions[0], QRegion(0, 20, 320, 240));
}

TEST(JpegDecoderTest, DecodesColourAndGreyIntoThirtyTwoBitImages) {
  JpegDecoder decoder;
  const std::vector<uint8_t> colour = EncodeJpeg(QuadrantImage(64, 48));
  const QImage c = decoder.Decode(colour.data(), colour.size());
  ASSERT_FALSE(c.isNull());
  EXPECT_EQ(c.format(), QImage::Format_RGB32);
  EXPECT_EQ(c.size(), QSize(64, 48));
  EXPECT_TRUE(Near(c.pixelColor(40, 40), kBottomRight));
  EXPECT_EQ(qAlpha(c.pixel(0, 0)), 255);

  const std::vector<uint8_t> grey = EncodeJpeg(QuadrantImage(64, 48), /*grey=*/true);
  const QImage g = decoder.Decode(grey.data(), grey.size());
  ASSERT_FALSE(g.isNull());
  EXPECT_EQ(g.format(), QImage::Format_RGB32);  // widened once, never at paint time
  const QColor px = g.pixelColor(40, 40);
  EXPECT_EQ(px.red(), px.green());
  EXPECT_EQ(px.green(), px.blue());
  EXPECT_GT(px.red(), 150);  // yellow is light
}

TEST(JpegDecoderTest, TruncatedScanStillGivesAPictureAndBrokenDataNone) {
  JpegDecoder decoder;
  std::vector<uint8_t> jpeg = EncodeJpeg(QuadrantImage(64, 48));
  std::size_t scan = 0;  // start-of-scan marker
  while (scan + 1 < jpeg.size() && !(jpeg[scan] == 0xFF && jpeg[scan + 1] == 0xDA)) ++scan;
  ASSERT_LT(scan + 20, jpeg.size());
  // Cut in the middle of the entropy-coded data.
  std::vector<uint8_t> truncated(jpeg.begin(),
                                 jpeg.begin() + static_cast<long>((scan + jpeg.size()) / 2));
  EXPECT_EQ(decoder.Decode(truncated.data(), truncated.size()).size(), QSize(64, 48));

  std::vector<uint8_t> headOnly(jpeg.begin(), jpeg.begin() + 20);
  EXPECT_TRUE(decoder.Decode(headOnly.data(), headOnly.size()).isNull());
  EXPECT_TRUE(decoder.Decode(nullptr, 0).isNull());
}

TEST(JpegDecoderTest, RefusesAnAbsurdPictureSizeWithoutAllocatingIt) {
  std::vector<uint8_t> jpeg = EncodeJpeg(QuadrantImage(64, 48));
  // Patch the frame header (SOF0: FF C0, length, precision, height, width) to 60000 x 60000.
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = 0xEA;
      jpeg[i + 6] = 0x60;
      jpeg[i + 7] = 0xEA;
      jpeg[i + 8] = 0x60;
      break;
    }
  }
  JpegDecoder decoder;
  EXPECT_TRUE(decoder.Decode(jpeg.data(), jpeg.size()).isNull());
}

}  // namespace
}  // namespace bf::test
