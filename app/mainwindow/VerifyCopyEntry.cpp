// "Проверить копию..." in the main window's context menu: a recording with a copy record is
// compared with the camera's flash in the copy dialog ("Копирование...", with its progress and
// Cancel), and the result comes in one box.
#include <QAction>
#include <QPushButton>

#include "flash/CProgressDlg.h"
#include "flash/CopyCheckText.h"
#include "host/GuiThreadPrompts.h"
#include "host/RecordingFileType.h"
#include "link/FTD2xx.h"
#include "live/CameraSettingsPanel.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "shell/QtGuiQueue.h"

namespace bf::ui {

void CBrindleFlashDlg::SetUpVerifyCopyEntry() {
  auto* check = new QAction(QString::fromUtf8(kVerifyCopyMenuText), this);
  check->setObjectName(QStringLiteral("verifyCopyAction"));
  connect(check, &QAction::triggered, this, [this] { OnVerifyCopy(); });
  addAction(check);
}

void CBrindleFlashDlg::OnVerifyCopy() {
  // The comparison would wait behind the live view's loop on the link thread, and its dialog
  // would keep the operator from the Stop that ends that loop. The button is in from the click on.
  const CameraSettingsState& camera = Camera().State();
  if (camera.Streaming() || camera.liveView != LiveViewState::Off) return;
  UserPrompts& prompts = services_.prompts;
  FileDialogRequest request;
  request.filter = kRecordingFilter;
  request.defaultExtension = "bfk";
  const std::optional<std::string> file = prompts.ChooseOpenFile(request);
  if (!file) return;
  std::string problem;
  const std::optional<CopyPlan> plan = VerifyPlanFor(*file, &problem);
  if (!plan) {
    prompts.ShowMessage(problem, "", MessageIcon::Error);
    return;
  }
  // The record gives the range: the range dialog is never shown. The session keeps its own copy
  // of the plan.
  ProgressDlgServices services{*link_, *linkPrompts_, *gui_, *linkThread_};
  services.plan = &*plan;
  auto* dialog = new CProgressDlg(services, this);
  dialog->setObjectName(QStringLiteral("copyDialog"));
  connect(dialog, &QDialog::finished, this, [this, dialog] {
    dialog->deleteLater();
    const CopySummary summary = dialog->Session().Summary();
    const std::string text = VerifyResultText(summary);
    if (!text.empty()) {
      services_.prompts.ShowMessage(
          text, "", summary.copyMatches ? MessageIcon::Information : MessageIcon::Warning);
    }
  });
  dialog->Start();
}

}  // namespace bf::ui
