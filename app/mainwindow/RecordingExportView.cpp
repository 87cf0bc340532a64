#include "mainwindow/RecordingExportView.h"

#include <QAction>
#include <QWidget>

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
      source_(std::move(source)),
      progress_(window, [this] { presenter_->Cancel(); }),
      presenter_(std::make_unique<RecordingExport>(prompts, progress_, table, MakeVideoWriter(),
                                                   PostQueuedTo(*this))) {
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

}  // namespace bf::ui
