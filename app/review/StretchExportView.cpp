#include "review/StretchExportView.h"

#include <QAction>
#include <QWidget>

#ifdef BF_HAVE_VIDEO
#include "recordings/video/VideoExport.h"
#endif

namespace bf::ui {

namespace {

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
      rate_(std::move(rate)),
      progress_(window, [this] { presenter_->Export().Cancel(); }),
      presenter_(std::make_unique<StretchExport>(presenter, prompts, progress_, table,
                                                 MakeVideoWriter(), PostQueuedTo(*this))) {
  if (presenter_->VideoAvailable()) {
    videoAction_ = new QAction(QString::fromUtf8(kExportStretchVideoMenuText), window);
    videoAction_->setObjectName(QStringLiteral("exportStretchVideoAction"));
    connect(videoAction_, &QAction::triggered, this,
            [this] { presenter_->StartVideo(rate_ ? rate_() : 0, burnInAction_->isChecked()); });
    window->addAction(videoAction_);
    burnInAction_ = new QAction(QString::fromUtf8(kBurnInMenuText), window);
    burnInAction_->setObjectName(QStringLiteral("burnInAction"));
    burnInAction_->setCheckable(true);
    window->addAction(burnInAction_);
  }
  framesAction_ = new QAction(QString::fromUtf8(kExportStretchFramesMenuText), window);
  framesAction_->setObjectName(QStringLiteral("exportStretchFramesAction"));
  connect(framesAction_, &QAction::triggered, this, [this] { presenter_->StartFrames(); });
  window->addAction(framesAction_);
}

StretchExportView::~StretchExportView() {
  presenter_.reset();  // cancels and waits for a running export
}

}  // namespace bf::ui
