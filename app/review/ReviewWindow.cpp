#include "review/ReviewWindow.h"

#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "clock/LocalTime.h"
#include "recordings/ThreadPlaybackTimer.h"
#include "review/GoToTimeDialog.h"
#include "review/HoverThumbnail.h"
#include "review/ReviewPicture.h"
#include "review/StretchExportView.h"
#include "review/TimelineStrip.h"

namespace bf::ui {

namespace {

// Thumbnails are decoded at the smallest scale at least this wide; a 640x480 frame gives 160.
constexpr int kThumbnailWidth = 160;
// 160x120 RGB is 57,600 bytes: 256 of them stay under 15 MiB.
constexpr std::size_t kThumbnailsKept = 256;

}  // namespace

ReviewWindow::ReviewWindow(UserPrompts& prompts, const JpegHeaderTable& table,
                           std::function<Rotation()> rotation, QWidget* parent,
                           SettingsStore* settings, PlaybackTimer* timer)
    : QWidget(parent, Qt::Window),
      prompts_(prompts),
      rotation_(std::move(rotation)),
      settings_(settings),
      presenter_(prompts, static_cast<ReviewView&>(*this)),
      thumbnails_(presenter_.GetRecording(), table, kThumbnailWidth, kThumbnailsKept) {
  if (timer == nullptr) {
    ownTimer_ = std::make_unique<ThreadPlaybackTimer>();
    timer = ownTimer_.get();
  }
  // Steps arrive on the timer's thread; they run here, and are dropped once the window is gone.
  playback_ =
      std::make_unique<ReviewPlayback>(presenter_, *timer, [this](std::function<void()> step) {
        QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
      });
  if (settings_ != nullptr) playback_->SetPace(ReadReviewPace(*settings_));
  playback_->onPlayingChanged = [this](bool) { status_->setText(StatusText()); };
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
  thumbnail_ = new HoverThumbnail(this);
  connect(timeline_, &TimelineStrip::Hovered, this, [this](double x) { ShowThumbnailAt(x); });
  connect(timeline_, &TimelineStrip::HoverLeft, thumbnail_, &QWidget::hide);

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
  // A video of the stretch is paced as the window plays: by the recorded times or at the
  // fixed rate.
  exports_ = new StretchExportView(this, presenter_, prompts, table, [this] {
    return static_cast<uint32_t>(playback_->Pace().fixedRate);
  });
  holdTimer_ = new QTimer(this);
  holdTimer_->setInterval(0);
  connect(holdTimer_, &QTimer::timeout, this, [this] { StepHeld(); });
  setContextMenuPolicy(Qt::ActionsContextMenu);
  setFocusPolicy(Qt::StrongFocus);
  resize(960, 720);
}

ReviewWindow::~ReviewWindow() {
  // The playback goes first: it waits for a step the timer may be running now. A running
  // export is cancelled and waited for.
  playback_.reset();
  delete exports_;
}

bool ReviewWindow::Open(const std::string& path) {
  playback_->Stop();
  thumbnail_->hide();
  thumbnails_.Clear();
  if (!presenter_.Open(path)) return false;
  setWindowTitle(QString::fromUtf8("Обзор записи — ") +
                 QFileInfo(QString::fromStdString(path)).fileName());
  return true;
}

ReviewWindow* ReviewWindow::OpenFor(const std::string& path, UserPrompts& prompts,
                                    SettingsStore& settings, const JpegHeaderTable& table,
                                    std::function<Rotation()> rotation, QWidget* parent,
                                    PlaybackTimer* timer) {
  std::string chosen = path;
  if (chosen.empty()) {
    const std::optional<std::string> picked = ChooseReviewRecording(prompts, settings);
    if (!picked) return nullptr;
    chosen = *picked;
  }
  auto* window = new ReviewWindow(prompts, table, std::move(rotation), parent, &settings, timer);
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
  const ReviewPace& pace = playback_->Pace();
  const QString paceText = pace.fixedRate > 0
                               ? QString::fromUtf8("%1 к/с").arg(pace.fixedRate)
                               : QString::fromStdString(SpeedText(pace.speedPercent));
  text += playback_->Playing() ? QString::fromUtf8("   воспроизведение %1").arg(paceText)
                               : QString::fromUtf8("   скорость %1").arg(paceText);
  if (pace.fixedRate == 0) {
    text += QString::fromUtf8(", перерывы длиннее %1 пропускаются")
                .arg(GapLengthText(static_cast<uint32_t>(pace.gapLimitSeconds)));
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

void ReviewWindow::ShowThumbnailAt(double x) {
  // A frame stamped with second s is drawn over [s, s + 1): the mouse anywhere there means it.
  const std::optional<std::size_t> frame =
      presenter_.IsOpen() && !timeline_->GapTextAt(x)
          ? presenter_.GetTimeline().Nearest(timeline_->TimeAt(x) - 0.5)
          : std::nullopt;
  if (!frame) {
    thumbnail_->hide();
    return;
  }
  QImage image;
  if (const std::shared_ptr<const RgbPicture> picture = thumbnails_.Get(*frame)) {
    // The cache keeps the pixels; the image is a copy that lives on its own.
    image = QImage(picture->rgb.data(), picture->width, picture->height, picture->width * 3,
                   QImage::Format_RGB888)
                .copy()
                .transformed(QTransform().rotate(
                    90.0 * static_cast<int>(rotation_ ? rotation_() : Rotation::None)));
  }
  const uint32_t time = presenter_.GetRecording().Index()[*frame].header.Timestamp();
  const std::optional<LocalDateTime> local = ToLocalTime(static_cast<UtcSeconds>(time));
  thumbnail_->Set(image, local ? QString::fromStdString(FormatDateTime(*local)) : QString());
  // Above the timeline, centred on the mouse, inside the window.
  const QPoint at = timeline_->mapTo(this, QPoint(static_cast<int>(x), 0));
  const int left =
      std::clamp(at.x() - thumbnail_->width() / 2, 0, std::max(0, width() - thumbnail_->width()));
  thumbnail_->move(left, std::max(0, at.y() - thumbnail_->height() - 2));
  thumbnail_->show();
  thumbnail_->raise();
}

void ReviewWindow::ChangePace(const ReviewPace& pace) {
  playback_->SetPace(pace);
  if (settings_ != nullptr) WriteReviewPace(*settings_, pace);
  status_->setText(StatusText());
}

void ReviewWindow::StepHeld() {
  const std::size_t before = presenter_.Position();
  presenter_.Step(heldDirection_);
  // Painted now, so that every frame is seen, not only the last one before a paint.
  picture_->repaint();
  if (presenter_.Position() == before) {
    holdTimer_->stop();  // the first or the last frame
    heldDirection_ = 0;
  }
}

void ReviewWindow::keyReleaseEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) && !event->isAutoRepeat()) {
    holdTimer_->stop();
    heldDirection_ = 0;
  }
  QWidget::keyReleaseEvent(event);
}

void ReviewWindow::keyPressEvent(QKeyEvent* event) {
  if (!PaceKey(event->key()) && !MoveKey(*event)) {
    QWidget::keyPressEvent(event);
    return;
  }
  event->accept();
}

bool ReviewWindow::PaceKey(int key) {
  ReviewPace pace = playback_->Pace();
  switch (key) {
    case Qt::Key_Space:
      playback_->Toggle();
      return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
      pace.speedPercent = NextSpeedPercent(pace.speedPercent, key == Qt::Key_Minus ? -1 : 1);
      pace.fixedRate = 0;
      break;
    case Qt::Key_BracketLeft:
    case Qt::Key_BracketRight:
      pace.gapLimitSeconds =
          NextGapLimit(pace.gapLimitSeconds, key == Qt::Key_BracketLeft ? -1 : 1);
      break;
    case Qt::Key_P:
      // The fixed rate is the main player's "Player fps".
      pace.fixedRate = pace.fixedRate > 0 || settings_ == nullptr
                           ? 0
                           : std::clamp(settings_->ReadInt(settings::kSection, settings::kPlayerFps,
                                                           settings::kPlayerFpsDefault),
                                        1, kFastestFixedRate);
      break;
    default:
      return false;
  }
  ChangePace(pace);
  return true;
}

bool ReviewWindow::MoveKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_F:
      picture_->Fit();
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
      StepKey(event);
      return true;
    case Qt::Key_PageUp:
      presenter_.PreviousStop();
      return true;
    case Qt::Key_PageDown:
      presenter_.NextStop();
      return true;
    case Qt::Key_Home:
      presenter_.Home();
      return true;
    case Qt::Key_End:
      presenter_.End();
      return true;
    case Qt::Key_I:
      presenter_.MarkIn();
      return true;
    case Qt::Key_O:
      presenter_.MarkOut();
      return true;
    default:
      return false;
  }
}

void ReviewWindow::StepKey(const QKeyEvent& event) {
  const int direction = event.key() == Qt::Key_Left ? -1 : 1;
  if ((event.modifiers() & Qt::ShiftModifier) != 0) {
    presenter_.StepSecond(direction);
  } else if (!event.isAutoRepeat()) {
    presenter_.Step(direction);
  } else if (heldDirection_ != direction) {
    // The keyboard's repeat says the key is held: from here on the timer steps.
    heldDirection_ = direction;
    holdTimer_->start();
  }
}

}  // namespace bf::ui
