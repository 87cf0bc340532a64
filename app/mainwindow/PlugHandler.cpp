// The start-up handshake, and running it again when a bridge is plugged in later.
#include <QApplication>
#include <QTimer>

#include "host/GuiThreadPrompts.h"
#include "link/FTD2xx.h"
#include "link/LinkThread.h"
#include "link/PlugWatch.h"
#include "link/StatusHandshake.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/CameraGroupView.h"
#include "mainwindow/PlayerGroupView.h"
#include "recordings/Player.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {

void CBrindleFlashDlg::RunHandshake() {
  handshakeRunning_ = true;
  PostToLink([this] {
    // The controls come on only once the handshake's closing commands have gone out: after a
    // link failure there the camera is not in the state the controls show.
    const bool ok =
        RunStatusHandshake(*link_, *linkPrompts_, services_.ticks,
                           [this](const CameraStatus& status) {
                             gui_->Post([this, status] { Camera().ApplyCameraStatus(status); });
                           })
            .has_value();
    gui_->Post([this, ok] {
      if (ok) Camera().EnableCameraControls(true);
      handshakeRunning_ = false;
      if (plugWatch_) plugWatch_->HandshakeEnded(ok);
      emit handshakeEnded();
    });
  });
}

void CBrindleFlashDlg::WatchForPlugging(std::function<bool()> probe) {
  if (!probe) return;
  plugWatch_ = std::make_unique<PlugWatch>(std::move(probe));
  plugTimer_ = new QTimer(this);
  plugTimer_->setInterval(static_cast<int>(kPlugPollPeriodMs));
  connect(plugTimer_, &QTimer::timeout, this, [this] { OnPlugPoll(); });
  plugTimer_->start();
}

bool CBrindleFlashDlg::CameraWorkRunning() const {
  // A dialog or message box of our own (the copy, the clock, a failure report) is modal; the
  // handshake must neither cut into its exchange nor stack a second box on it.
  const QWidget* modal = QApplication::activeModalWidget();
  return handshakeRunning_ || Camera().State().Streaming() || !linkThread_->Idle() ||
         playerGroup_->RecordingPlayer().IsPlaying() || !isEnabled() ||
         (modal != nullptr && modal != this);
}

void CBrindleFlashDlg::OnPlugPoll() {
  if (!plugWatch_) return;
  const PlugWindowState state{Camera().State().controlsOn, CameraWorkRunning(),
                              link_->GetStatusCode() != ftstatus::kOk};
  switch (plugWatch_->Poll(state, services_.ticks.TickCount())) {
    case PlugAction::None:
      break;
    case PlugAction::DisableCameraControls:
      Camera().EnableCameraControls(false);
      break;
    case PlugAction::RunHandshake:
      // The old handle belongs to a bridge that has gone; the link is closed before it opens
      // again, and the camera starts out of autonomous mode as the handshake leaves it.
      PostToLink([this] { link_->Close(); });
      Camera().ClearAutonomous();
      RunHandshake();
      break;
  }
}

}  // namespace bf::ui
