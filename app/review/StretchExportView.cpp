#include "review/StretchExportView.h"

#include <QAction>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <climits>

#ifdef BF_HAVE_VIDEO
#include "recordings/video/VideoExport.h"
#endif

namespace bf::ui {

namespace {

constexpr int kPollMs = 100;

StretchExport::VideoWriter MakeVideoWriter() {
#ifdef BF_HAVE_VIDEO
  return [](const Recording& recording, const JpegHeaderTable& table,
            const VideoExportOptions& options,
            ExportProgress& progress) { return ExportVideo(recording, table, options, progress); };
#else
  return {};
#endif
}

}  // namespace

StretchExportView::StretchExportView(QWidget* window, ReviewPresenter& presenter,
                                     UserPrompts& prompts, const JpegHeaderTable& table,
                                     std::function<uint32_t()> rate)
    : QObject(window),
      window_(window),
      rate_(std::move(rate)),
      timer_(new QTimer(this)),
      presenter_(std::make_unique<StretchExport>(
          presenter, prompts, static_cast<ExportProgressView&>(*this), table, MakeVideoWriter())) {
  const auto poll = [this] {
    if (presenter_->Export().Busy()) timer_->start();
  };
  if (presenter_->VideoAvailable()) {
    videoAction_ = new QAction(QString::fromUtf8(kExportStretchVideoMenuText), window);
    videoAction_->setObjectName(QStringLiteral("exportStretchVideoAction"));
    connect(videoAction_, &QAction::triggered, this, [this, poll] {
      presenter_->StartVideo(rate_ ? rate_() : 0, burnInAction_->isChecked());
      poll();
    });
    window->addAction(videoAction_);
    burnInAction_ = new QAction(QString::fromUtf8(kBurnInMenuText), window);
    burnInAction_->setObjectName(QStringLiteral("burnInAction"));
    burnInAction_->setCheckable(true);
    window->addAction(burnInAction_);
  }
  framesAction_ = new QAction(QString::fromUtf8(kExportStretchFramesMenuText), window);
  framesAction_->setObjectName(QStringLiteral("exportStretchFramesAction"));
  connect(framesAction_, &QAction::triggered, this, [this, poll] {
    presenter_->StartFrames();
    poll();
  });
  window->addAction(framesAction_);

  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] {
    presenter_->Export().Poll();
    if (!presenter_->Export().Busy()) timer_->stop();
  });
}

StretchExportView::~StretchExportView() {
  timer_->stop();
  presenter_.reset();  // cancels and waits for a running export
}

QProgressDialog* StretchExportView::ProgressDialog() const {
  return dialog_.data();
}

void StretchExportView::ShowProgress(const std::string& title, uint32_t done, uint32_t total) {
  if (!dialog_) {
    dialog_ = new QProgressDialog(window_);
    dialog_->setObjectName(QStringLiteral("exportProgress"));
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setCancelButtonText(QStringLiteral("Отмена"));
    connect(dialog_, &QProgressDialog::canceled, this, [this] { presenter_->Export().Cancel(); });
  }
  dialog_->setWindowTitle(QString::fromStdString(title));
  dialog_->setMaximum(static_cast<int>(std::min<uint32_t>(total, INT32_MAX)));
  dialog_->setValue(static_cast<int>(std::min<uint32_t>(done, INT32_MAX)));
  dialog_->setLabelText(total == 0 ? QString()
                                   : QStringLiteral("Кадр %1 из %2").arg(done).arg(total));
  dialog_->show();
}

void StretchExportView::CloseProgress() {
  if (dialog_) dialog_->deleteLater();
  dialog_.clear();
}

}  // namespace bf::ui
