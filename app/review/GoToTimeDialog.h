#pragma once
#include <QDialog>
#include <map>
#include <string>

class QLineEdit;

namespace bf::ui {

// "Перейти к времени...": asks for a local date and time "YYYY-MM-DD HH:MM:SS", offered with
// the current frame's. GUI thread only.
class GoToTimeDialog final : public QDialog {
  Q_OBJECT

 public:
  GoToTimeDialog(const std::string& initial, QWidget* parent = nullptr);
  std::string Text() const;
  QLineEdit* Edit() const { return edit_; }

 private:
  std::map<int, QWidget*> controls_;
  QLineEdit* edit_ = nullptr;
};

}  // namespace bf::ui
