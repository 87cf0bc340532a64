// The main window's controls: every row of the table exists by id with its caption, kind and
// state, placed by the dialog-unit conversion.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>
#include <vector>

#include "MainWindowFixture.h"
#include "mainwindow/ControlTable.h"
#include "mainwindow/MainWindowWidgets.h"
#include "picture/CBfkPlayer.h"
#include "shell/ControlBuilder.h"
#include "shell/DialogUnits.h"
#include "shell/Icons.h"
#include "shell/UpDownControl.h"

namespace bf::test {
namespace {

using namespace bf::ui;

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(413, 6, 4), 620);   // 619.5
  EXPECT_EQ(MulDiv(362, 13, 8), 588);  // 588.25
  EXPECT_EQ(MulDiv(-5, 3, 2), -8);     // -7.5
  EXPECT_EQ(MulDiv(7, 1, 0), -1);
}

TEST(DialogUnits, EdgesAreConvertedSeparately) {
  const DialogBaseUnits units{6, 13};
  // 15..30 wide: left 22.5 -> 23, right 45 -> 45: width 22, not MulDiv(15) = 23.
  EXPECT_EQ(DialogToPixels(QRect(15, 262, 15, 15), units), QRect(23, 426, 22, 24));
}

TEST_F(MainWindowTest, EveryControlExistsWithItsCaptionAndPlace) {
  Start();
  const DialogBaseUnits units = MeasureBaseUnits(window->font());
  ASSERT_GT(units.x, 0);
  ASSERT_GT(units.y, 0);
  EXPECT_EQ(window->size(), QSize(DialogXToPixels(413, units), DialogYToPixels(362, units)));
  EXPECT_EQ(window->windowTitle(), "BrindleFlash");
  int withId = 0;
  for (const ControlRow& control : MainWindowControls()) {
    if (control.id == 0) continue;
    ++withId;
    QWidget* w = W(control.id);
    ASSERT_NE(w, nullptr) << control.id;
    EXPECT_EQ(w->objectName(), QString::number(control.id));
    EXPECT_EQ(window->findChild<QWidget*>(QString::number(control.id)), w);
    const QRect expected =
        DialogToPixels(QRect(control.x, control.y, control.width, control.height), units);
    EXPECT_EQ(w->pos(), expected.topLeft()) << control.id;
    if (control.kind != ControlKind::DropDownList) {
      EXPECT_EQ(w->size(), expected.size()) << control.id;
    }
    EXPECT_EQ(w->isHidden(), !control.visible) << control.id;
    if (auto* button = qobject_cast<QAbstractButton*>(w);
        button && control.kind != ControlKind::IconButton) {
      EXPECT_EQ(button->text(), QString::fromUtf8(control.caption)) << control.id;
    }
  }
  EXPECT_EQ(withId, 37);
  // Labels and frames carry their texts too.
  QStringList texts;
  for (auto* label : window->findChildren<QLabel*>()) texts << label->text();
  for (auto* group : window->findChildren<QGroupBox*>()) texts << group->title();
  for (const char* text : {"Изображение", "Скорость (кадров в секунду):", "Поворот (градусов)",
                           "Скорость", "Цвет", "Сжатие", "Наилучшее сжатие", "Наилучшее качество",
                           "Детектор движения", "Чувствительность:", "0%", "100%", "Флеш-память"}) {
    EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
  }
}

TEST_F(MainWindowTest, ControlKindsAndFixedStates) {
  Start();
  EXPECT_NE(qobject_cast<CBfkPlayer*>(W(IDC_PICTURE)), nullptr);
  EXPECT_TRUE(B(IDC_START_STOP)->isCheckable());
  EXPECT_NE(qobject_cast<QCheckBox*>(W(IDC_AUTONOMOUS)), nullptr);
  EXPECT_NE(qobject_cast<QRadioButton*>(W(IDC_ROTATE_180)), nullptr);
  EXPECT_TRUE(ControlAs<QPushButton>(IDOK_EXIT)->isDefault());
  for (int id : {IDC_READ_RX, IDC_CUB, IDC_ALL_DATA, IDC_TEST, IDC_FLASH_POINTER}) {
    EXPECT_TRUE(W(id)->isHidden()) << id;
  }
  EXPECT_FALSE(W(IDC_FLASH_POINTER)->isEnabled());
  EXPECT_FALSE(W(IDC_RATE_EDIT)->isEnabled());
  EXPECT_EQ(S(IDC_COMPRESSION)->orientation(), Qt::Vertical);
  EXPECT_EQ(S(IDC_COMPRESSION)->maximum(), 4);
  EXPECT_TRUE(S(IDC_COMPRESSION)->invertedAppearance());
  EXPECT_EQ(S(IDC_SENSITIVITY)->maximum(), 5);
  EXPECT_EQ(S(IDC_POSITION)->tickPosition(), QSlider::TicksBothSides);
  EXPECT_EQ(S(IDC_POSITION)->maximum(), 1);
  auto* spin = ControlAs<UpDownControl>(IDC_RATE_SPIN);
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(spin->minimum(), 1);
  EXPECT_EQ(spin->maximum(), 20);
  EXPECT_EQ(spin->position(), 10);
  ASSERT_EQ(L(IDC_FRAME_RATE)->count(), 8);
  EXPECT_EQ(L(IDC_FRAME_RATE)->itemText(7), QString::fromUtf8("макс. скорость"));
  ASSERT_EQ(L(IDC_COLOUR)->count(), 2);
  EXPECT_EQ(L(IDC_COLOUR)->itemText(0), QString::fromUtf8("Черно-белый"));
  for (int id : {IDC_BEGIN, IDC_PREVIOUS, IDC_PLAY, IDC_STOP, IDC_NEXT, IDC_END}) {
    EXPECT_FALSE(B(id)->icon().isNull()) << id;
  }
  EXPECT_FALSE(window->windowIcon().isNull());
}

// The window takes its typed controls from the built table once; a table that lacks one, or
// gives it another kind, stops the window from being built instead of leaving a null pointer.
TEST(TypedControls, AMissingOrMistypedControlIsRefused) {
  QWidget parent;
  const std::vector<ControlRow> rows(MainWindowControls().begin(), MainWindowControls().end());
  const auto build = [&parent](const std::vector<ControlRow>& table) {
    return BuildControls(&parent, table, MeasureBaseUnits(parent.font()),
                         [&parent](const ControlRow&) { return new QWidget(&parent); });
  };
  EXPECT_NO_THROW(MainWindowWidgets::Find(build(rows)));

  std::vector<ControlRow> without;
  for (const ControlRow& row : rows) {
    if (row.id != IDC_SENSITIVITY) without.push_back(row);
  }
  EXPECT_THROW(MainWindowWidgets::Find(build(without)), std::logic_error);

  std::vector<ControlRow> mistyped = rows;
  for (ControlRow& row : mistyped) {
    if (row.id == IDC_START_STOP) row.kind = ControlKind::CheckBox;
  }
  EXPECT_THROW(MainWindowWidgets::Find(build(mistyped)), std::logic_error);
}

TEST_F(MainWindowTest, AboutIsInTheContextMenuAndOnF1) {
  Start();
  auto* about = window->findChild<QAction*>("aboutAction");
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(window->actions().contains(about));
  EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
  EXPECT_EQ(about->text(), "&About BrindleFlash02...");
  EXPECT_EQ(about->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST(Icons, EveryResourceIconIsDrawnAndDistinct) {
  QList<QImage> images;
  for (int id : {IDR_MAINFRAME, IDI_BEGIN, IDI_PREVIOUS, IDI_PLAY, IDI_STOP, IDI_NEXT, IDI_END}) {
    const QIcon icon = LoadAppIcon(id);
    ASSERT_FALSE(icon.isNull()) << id;
    const QImage image = icon.pixmap(16, 16).toImage();
    EXPECT_FALSE(images.contains(image)) << id;
    images << image;
  }
  EXPECT_TRUE(LoadAppIcon(999).isNull());
}

}  // namespace
}  // namespace bf::test

#include <QIcon>
#include <QImage>

#include "mainwindow/ControlIds.h"
#include "mainwindow/MainWindowWidgets.h"
#include "shell/Icons.h"

namespace bf::ui {
namespace {

TEST(PlayerIcons, DisabledButtonsShowAGreyGlyph) {
  for (int id = IDI_BEGIN; id <= IDI_END; ++id) {
    const QIcon icon = LoadAppIcon(id);
    const QImage normal = icon.pixmap(16, QIcon::Normal).toImage();
    const QImage disabled = icon.pixmap(16, QIcon::Disabled).toImage();
    ASSERT_FALSE(normal.isNull()) << id;
    // Every drawn pixel of the disabled glyph is light grey, none is black.
    int drawn = 0;
    for (int y = 0; y < disabled.height(); ++y) {
      for (int x = 0; x < disabled.width(); ++x) {
        const QRgb pixel = disabled.pixel(x, y);
        if (qAlpha(pixel) < 200) continue;
        ++drawn;
        EXPECT_GE(qGray(pixel), 120) << id << " at " << x << "," << y;
      }
    }
    EXPECT_GT(drawn, 0) << id;
  }
}

}  // namespace
}  // namespace bf::ui
