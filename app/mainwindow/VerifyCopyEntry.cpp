// "Проверить копию..." in the main window's context menu: a recording with a copy record is
// compared with the camera's flash in the copy dialog ("Копирование...", with its progress and
// Cancel), and the result comes in one box.
#include <QAction>

#include "flash/CProgressDlg.h"
#include "flash/CopyCheckText.h"
#include "flash/RangeDialog.h"
#include "host/RecordingFileType.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::SetUpVerifyCopyEntry() {
  auto* check = new QAction(QString::fromUtf8(kVerifyCopyMenuText), this);
  check->setObjectName(QStringLiteral("verifyCopyAction"));
  connect(check, &QAction::triggered, this, [this] { OnVerifyCopy(); });
  addAction(check);
}

void CBrindleFlashDlg::OnVerifyCopy() {
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
  // The record gives the range: the chooser is never asked.
  RangeDialogChooser rangeChooser;
  ProgressDlgServices services{*link_, prompts, rangeChooser};
  services.plan = &*plan;
  CProgressDlg dialog(services, this);
  dialog.exec();
  const CopySummary summary = dialog.Session().Summary();
  const std::string text = VerifyResultText(summary);
  if (!text.empty()) {
    prompts.ShowMessage(text, "",
                        summary.copyMatches ? MessageIcon::Information : MessageIcon::Warning);
  }
}

}  // namespace bf::ui
