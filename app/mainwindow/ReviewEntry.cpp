// "Обзор записи..." (Ctrl+R) in the main window's context menu: a review window on the recording
// the player group has open, or on one chosen in the review's own open dialog.
#include <QAction>

#include "mainwindow/CBrindleFlashDlg.h"
#include "picture/CBfkPlayer.h"
#include "recordings/PlayerPanel.h"
#include "review/ReviewWindow.h"

namespace bf::ui {

void CBrindleFlashDlg::SetUpReviewEntry() {
  auto* review = new QAction(QString::fromUtf8(kReviewMenuText), this);
  review->setObjectName(QStringLiteral("reviewAction"));
  review->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  review->setShortcutContext(Qt::WindowShortcut);
  connect(review, &QAction::triggered, this, [this] {
    ReviewWindow::OpenFor(
        panel_->RecordingPath(), services_.prompts, services_.settings, services_.headers,
        [this] { return player_->GetRotation(); }, this, &services_.timer);
  });
  addAction(review);
}

}  // namespace bf::ui
