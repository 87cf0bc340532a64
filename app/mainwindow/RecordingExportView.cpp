#include "mainwindow/RecordingExportView.h"

#include <QAction>
#include <QMetaObject>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>
#include <climits>

#ifdef BF_HAVE_VIDEO
#include "recordings/video/VideoExport.h"
#endif

namespace bf::ui {

namespace {

RecordingExport::VideoWriter MakeVideoWriter() {
#ifdef BF_HAVE_VIDEO
  return [](const Recording& recording, const JpegHeaderTable& table, const std::string& output,
            uint32_t rate, ExportProgress& progress) {
    VideoExportOptions options;
    options.output = output;
    options.rate = rate;
    if (const std::optional<VideoContainer> container = ContainerForPath(output)) {
      options.container = *container;
    } else {
      ExportOutcome refused;
      refused.error = output + ": the name must end in .mkv, .avi or .mp4";
      return refused;
    }
    return ExportVideo(recording, table, options, progress);
  };
#else
  return {};
#endif
}

}  // namespace

RecordingExportView::RecordingExportView(QWidget* window, UserPrompts& prompts,
                                         const JpegHeaderTable& table, Source source)
    : QObject(window),
      window_(window),
      source_(std::move(source)),
      presenter_(std::make_unique<RecordingExport>(
          prompts, static_cast<ExportProgressView&>(*this), table, MakeVideoWriter(),
          [this](std::function<void()> call) {
            // Queued to this object: dropped if it is gone before the call's turn.
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
          })) {
  if (presenter_->VideoAvailable()) {
    videoAction_ = new QAction(QString::fromUtf8(kExportVideoMenuText), window);
    videoAction_->setObjectName(QStringLiteral("exportVideoAction"));
    connect(videoAction_, &QAction::triggered, this,
            [this] { presenter_->StartVideo(source_.recordingPath(), source_.rate()); });
    window->addAction(videoAction_);
  }
  framesAction_ = new QAction(QString::fromUtf8(kExportFramesMenuText), window);
  framesAction_->setObjectName(QStringLiteral("exportFramesAction"));
  connect(framesAction_, &QAction::triggered, this,
          [this] { presenter_->StartFrames(source_.recordingPath()); });
  window->addAction(framesAction_);
}

RecordingExportView::~RecordingExportView() {
  presenter_.reset();  // cancels and waits for a running export
}

QProgressDialog* RecordingExportView::ProgressDialog() const {
  return dialog_.data();
}

void RecordingExportView::ShowProgress(const std::string& title, uint32_t done, uint32_t total) {
  if (!dialog_) {
    dialog_ = new QProgressDialog(window_);
    dialog_->setObjectName(QStringLiteral("exportProgress"));
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setCancelButtonText(QStringLiteral("Отмена"));
    connect(dialog_, &QProgressDialog::canceled, this, [this] { presenter_->Cancel(); });
  }
  dialog_->setWindowTitle(QString::fromStdString(title));
  dialog_->setMaximum(static_cast<int>(std::min<uint32_t>(total, INT32_MAX)));
  dialog_->setValue(static_cast<int>(std::min<uint32_t>(done, INT32_MAX)));
  dialog_->setLabelText(total == 0 ? QString()
                                   : QStringLiteral("Кадр %1 из %2").arg(done).arg(total));
  dialog_->show();
}

void RecordingExportView::CloseProgress() {
  if (dialog_) dialog_->deleteLater();
  dialog_.clear();
}

}  // namespace bf::ui
