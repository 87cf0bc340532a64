#include "review/GoToTimeDialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "shell/ControlBuilder.h"
#include "shell/DialogUnits.h"

namespace bf::ui {

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kEdit = 1001;

using K = ControlKind;
constexpr std::array kGoToTimeControls = {
    ControlRow{0, K::Label, "Дата и время (ГГГГ-ММ-ДД ЧЧ:ММ:СС):", 7, 7, 160, 8},
    ControlRow{kEdit, K::Edit, "", 7, 18, 160, 12},
    ControlRow{kOk, K::DefaultButton, "OK", 62, 36, 50, 14},
    ControlRow{kCancel, K::PushButton, "Отмена", 117, 36, 50, 14},
};

}  // namespace

GoToTimeDialog::GoToTimeDialog(const std::string& initial, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Перейти к времени"));
  setFont(DialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  controls_ =
      BuildControls(this, kGoToTimeControls, units, [](const ControlRow&) { return nullptr; });
  edit_ = static_cast<QLineEdit*>(controls_.at(kEdit));
  edit_->setText(QString::fromStdString(initial));
  edit_->selectAll();
  edit_->setFocus(Qt::OtherFocusReason);
  setFixedSize(DialogXToPixels(174, units), DialogYToPixels(57, units));
  connect(static_cast<QPushButton*>(controls_.at(kOk)), &QPushButton::clicked, this,
          &QDialog::accept);
  connect(static_cast<QPushButton*>(controls_.at(kCancel)), &QPushButton::clicked, this,
          &QDialog::reject);
}

std::string GoToTimeDialog::Text() const {
  return edit_->text().toStdString();
}

}  // namespace bf::ui
