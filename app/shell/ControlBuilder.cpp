#include "shell/ControlBuilder.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "shell/UpDownControl.h"

namespace bf::ui {
namespace {

QPushButton* MakeButton(ControlKind kind, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  if (kind == ControlKind::PushLikeCheck) {
    // A check box at heart: Enter on it still goes to the default button.
    button->setCheckable(true);
    button->setAutoDefault(false);
  } else {
    // A push button with the focus takes Enter for itself (auto-default); otherwise Enter
    // presses the default button.
    button->setAutoDefault(true);
    if (kind == ControlKind::DefaultButton) button->setDefault(true);
  }
  return button;
}

QWidget* MakeWidget(const ControlRow& control, QWidget* parent,
                    const std::function<QWidget*(const ControlRow&)>& makeFrame) {
  const QString caption = QString::fromUtf8(control.caption);
  switch (control.kind) {
    case ControlKind::StaticFrame:
      return makeFrame(control);
    case ControlKind::GroupFrame:
      return new QGroupBox(caption, parent);
    case ControlKind::Label: {
      auto* label = new QLabel(caption, parent);
      label->setAlignment((control.align == TextAlign::Right ? Qt::AlignRight : Qt::AlignLeft) |
                          Qt::AlignTop);
      return label;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultButton:
    case ControlKind::IconButton:
    case ControlKind::PushLikeCheck:
      return MakeButton(control.kind, caption, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(caption, parent);
      // The window checks and clears the radios itself (by code, as the groups are scattered).
      radio->setAutoExclusive(false);
      return radio;
    }
    case ControlKind::Edit:
      return new QLineEdit(parent);
    case ControlKind::DropDownList: {
      auto* list = new QComboBox(parent);
      list->setEditable(false);
      return list;
    }
    case ControlKind::VerticalSlider:
      return new QSlider(Qt::Vertical, parent);
    case ControlKind::HorizontalSlider:
      return new QSlider(Qt::Horizontal, parent);
    case ControlKind::UpDown:
      return new UpDownControl(parent);
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlKind::MonthCalendar:
      return new QCalendarWidget(parent);
  }
  return nullptr;
}

}  // namespace

std::map<int, QWidget*> BuildControls(QWidget* parent, std::span<const ControlRow> table,
                                      DialogBaseUnits units,
                                      const std::function<QWidget*(const ControlRow&)>& makeFrame) {
  std::map<int, QWidget*> controls;
  int unnamed = 0;
  for (const ControlRow& control : table) {
    QWidget* widget = MakeWidget(control, parent, makeFrame);
    if (widget == nullptr) continue;
    QRect rect = DialogToPixels(QRect(control.x, control.y, control.width, control.height), units);
    if (control.kind == ControlKind::Label && control.width == 0) {
      rect.setWidth(widget->sizeHint().width());
    }
    if (control.kind == ControlKind::DropDownList) {
      // The template's height is that of the opened list; the closed box is one line high.
      rect.setHeight(std::max(widget->sizeHint().height(), DialogYToPixels(12, units)));
    }
    widget->setGeometry(rect);
    widget->setVisible(control.visible);
    widget->setEnabled(control.enabled);
    if (control.kind == ControlKind::GroupFrame) widget->lower();
    if (control.id != 0) {
      widget->setObjectName(QString::number(control.id));
      controls[control.id] = widget;
    } else {
      widget->setObjectName(QStringLiteral("static%1").arg(++unnamed));
    }
  }
  return controls;
}

}  // namespace bf::ui
