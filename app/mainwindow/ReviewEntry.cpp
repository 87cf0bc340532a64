#include "mainwindow/ReviewEntry.h"

#include <QAction>
#include <QWidget>

#include "review/ReviewPresenter.h"
#include "review/ReviewWindow.h"

namespace bf::ui {

void AddReviewEntry(QWidget& window, UserPrompts& prompts, SettingsStore& settings,
                    const JpegHeaderTable& headers, PlaybackTimer& timer, ReviewSource source) {
  auto* review = new QAction(QString::fromUtf8(kReviewMenuText), &window);
  review->setObjectName(QStringLiteral("reviewAction"));
  review->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  review->setShortcutContext(Qt::WindowShortcut);
  QObject::connect(review, &QAction::triggered, &window,
                   [&window, &prompts, &settings, &headers, &timer, source = std::move(source)] {
                     ReviewWindow::OpenFor(source.recordingPath(), prompts, settings, headers,
                                           source.rotation, &window, &timer);
                   });
  window.addAction(review);
}

}  // namespace bf::ui
