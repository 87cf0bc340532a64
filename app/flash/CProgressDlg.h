#pragma once
#include <QDialog>
#include <QTimer>
#include <map>
#include <memory>

#include "flash/CopySession.h"

class QLabel;
class QProgressBar;

namespace bf::ui {

// Control ids of the copy dialog's template.
enum ProgressDlgControl {
  IDC_PROGRESS_CANCEL = 2,  // "Отмена"
  IDC_PROGRESS_BAR = 1028,
  IDC_PROGRESS_ELAPSED = 1029,
  IDC_PROGRESS_REMAINING = 1030,
  IDC_PROGRESS_SPEED = 1031,
};

// What the copy dialog is built on. The link is the main window's, lent for the dialog's life.
struct ProgressDlgServices {
  FTD2xx& link;
  UserPrompts& prompts;
  RangeChooser& rangeChooser;
  CopyProgressSink* progress = nullptr;  // optional, for tests and reports
  CopyOutputFactory makeOutput = {};     // empty: the shared replacing writer
  bool readCameraClock = false;          // for the copy record (see CopyServices)
  const CopyPlan* plan = nullptr;        // a comparison or a resume (see CopyServices)
  bool offerResume = false;              // ask to go on with an unfinished copy (idem)
};

// "Копирование...": the modal dialog that copies the camera's flash into a recording file, a
// view over CopySession. The readout starts once, right after the dialog's first paint has
// been drawn (queued from the paint, so that the copy loops that run inside it and pump events
// never paint from within a paint). Timers 2 and 3 tick into the session; Cancel, Escape and a
// close request only clear the session's running flag, and the dialog closes when the flow
// says so.
//
// Threads: the dialog lives on the GUI thread. The session's sector reader reaches it only
// through PostToGui, which queues the call on the dialog's thread; the worker is joined when
// the session is destroyed, which the dialog does first in its destructor.
class CProgressDlg : public QDialog, private CopyDialogHost, private RequestPoint {
  Q_OBJECT

 public:
  CProgressDlg(const ProgressDlgServices& services, QWidget* parent);
  ~CProgressDlg() override;

  QWidget* Control(int id) const;
  CopySession& Session() { return *session_; }
  // The timer handler: what a tick of timer id does (public so that a test can tick).
  void OnTimer(uint32_t id);
  // The QTimer behind timer id while it runs, else null.
  const QTimer* Timer(uint32_t id) const;

 public slots:
  // Escape, which the dialog maps to Cancel.
  void reject() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // CopyDialogHost
  void PostToGui(std::function<void()> fn) override;
  void StartTimer(uint32_t id, uint32_t periodMs) override;
  void StopTimer(uint32_t id) override;
  void ShowProgress(const CopyDisplay& display) override;
  void CloseDialog(int result) override;
  void* ParentWindow() override { return static_cast<QWidget*>(this); }
  // RequestPoint: the page-addressed copies run inside the dialog's first paint on this thread
  // and hand it the events between two chunks (the timer ticks, Cancel).
  void TakeRequests() override;

  void OnCancel();

  std::map<int, QWidget*> controls_;
  QProgressBar* bar_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* remaining_ = nullptr;
  QLabel* speed_ = nullptr;
  std::map<uint32_t, QTimer*> timers_;  // children of the dialog
  bool startQueued_ = false;
  // Last member: destroyed first, joining the worker before anything it may post to is gone.
  std::unique_ptr<CopySession> session_;
};

}  // namespace bf::ui
