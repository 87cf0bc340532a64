#include "review/ReviewWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "review/GoToTimeDialog.h"
#include "review/ReviewPicture.h"
#include "review/TimelineStrip.h"

namespace bf::ui {

ReviewWindow::ReviewWindow(UserPrompts& prompts, const JpegHeaderTable& table,
                           std::function<Rotation()> rotation, QWidget* parent)
    : QWidget(parent, Qt::Window),
      prompts_(prompts),
      rotation_(std::move(rotation)),
      presenter_(prompts, static_cast<ReviewView&>(*this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromUtf8("Обзор записи"));
  picture_ = new ReviewPicture(table, this);
  timeline_ = new TimelineStrip(presenter_, this);
  status_ = new QLabel(this);
  status_->setTextFormat(Qt::PlainText);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  layout->addWidget(picture_, 1);
  layout->addWidget(timeline_);
  layout->addWidget(status_);

  goToTime_ = new QAction(QString::fromUtf8(kGoToTimeMenuText), this);
  goToTime_->setObjectName(QStringLiteral("goToTimeAction"));
  goToTime_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  goToTime_->setShortcutContext(Qt::WindowShortcut);
  connect(goToTime_, &QAction::triggered, this, [this] { AskForTime(); });
  addAction(goToTime_);
  saveStretch_ = new QAction(QString::fromUtf8(kSaveStretchMenuText), this);
  saveStretch_->setObjectName(QStringLiteral("saveStretchAction"));
  saveStretch_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  saveStretch_->setShortcutContext(Qt::WindowShortcut);
  connect(saveStretch_, &QAction::triggered, this, [this] { presenter_.SaveStretch(); });
  addAction(saveStretch_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  setFocusPolicy(Qt::StrongFocus);
  resize(960, 720);
}

ReviewWindow::~ReviewWindow() = default;

bool ReviewWindow::Open(const std::string& path) {
  if (!presenter_.Open(path)) return false;
  setWindowTitle(QString::fromUtf8("Обзор записи — ") +
                 QFileInfo(QString::fromStdString(path)).fileName());
  return true;
}

ReviewWindow* ReviewWindow::OpenFor(const std::string& path, UserPrompts& prompts,
                                    SettingsStore& settings, const JpegHeaderTable& table,
                                    std::function<Rotation()> rotation, QWidget* parent) {
  std::string chosen = path;
  if (chosen.empty()) {
    const std::optional<std::string> picked = ChooseReviewRecording(prompts, settings);
    if (!picked) return nullptr;
    chosen = *picked;
  }
  auto* window = new ReviewWindow(prompts, table, std::move(rotation), parent);
  if (!window->Open(chosen)) {
    delete window;
    return nullptr;
  }
  window->show();
  window->activateWindow();
  return window;
}

void ReviewWindow::ShowFrame(const FrameHeader& header, std::span<const uint8_t> payload) {
  picture_->SetFrame(header, payload, rotation_ ? rotation_() : Rotation::None);
}

QString ReviewWindow::StatusText() const {
  if (!presenter_.IsOpen()) return {};
  QString text = QString::fromUtf8("Кадр %1 из %2 (в файле № %3), %4")
                     .arg(presenter_.Position() + 1)
                     .arg(presenter_.GetTimeline().Count())
                     .arg(presenter_.Current())
                     .arg(QString::fromStdString(presenter_.CurrentLocalText()));
  const auto mark = [&](const char* name, std::optional<std::size_t> frame) {
    if (frame) text += QStringLiteral("   %1: № %2").arg(QString::fromUtf8(name)).arg(*frame);
  };
  mark("I", presenter_.InMark());
  mark("O", presenter_.OutMark());
  if (presenter_.MarkedStretch()) {
    text += QString::fromUtf8("   отмечено кадров: %1").arg(presenter_.MarkedFrames().size());
  }
  if (const std::string other = presenter_.JoinedWith(); !other.empty()) {
    text += QString::fromUtf8("   вместе с %1 (копия прошла через конец флеш-памяти)")
                .arg(QFileInfo(QString::fromStdString(other)).fileName());
  }
  return text;
}

void ReviewWindow::TimelineChanged() {
  timeline_->update();
  status_->setText(StatusText());
}

void ReviewWindow::AskForTime() {
  if (!presenter_.IsOpen()) return;
  GoToTimeDialog dialog(presenter_.CurrentLocalText(), this);
  while (dialog.exec() == QDialog::Accepted) {
    if (presenter_.GoToLocalText(dialog.Text())) return;
    prompts_.ShowMessage("Укажите дату и время в виде ГГГГ-ММ-ДД ЧЧ:ММ:СС.", "",
                         MessageIcon::Warning);
  }
}

void ReviewWindow::keyPressEvent(QKeyEvent* event) {
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  switch (event->key()) {
    case Qt::Key_Left:
      shift ? presenter_.StepSecond(-1) : presenter_.Step(-1);
      break;
    case Qt::Key_Right:
      shift ? presenter_.StepSecond(1) : presenter_.Step(1);
      break;
    case Qt::Key_PageUp:
      presenter_.PreviousStop();
      break;
    case Qt::Key_PageDown:
      presenter_.NextStop();
      break;
    case Qt::Key_Home:
      presenter_.Home();
      break;
    case Qt::Key_End:
      presenter_.End();
      break;
    case Qt::Key_I:
      presenter_.MarkIn();
      break;
    case Qt::Key_O:
      presenter_.MarkOut();
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

}  // namespace bf::ui
