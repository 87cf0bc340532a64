#pragma once
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>

#include "flash/CopySession.h"
#include "host/GuiQueue.h"

class QLabel;
class QProgressBar;

namespace bf {
class LinkThread;
}

namespace bf::ui {

// Control ids of the copy dialog's template.
enum ProgressDlgControl {
  IDC_PROGRESS_CANCEL = 2,  // "Отмена"
  IDC_PROGRESS_BAR = 1028,
  IDC_PROGRESS_ELAPSED = 1029,
  IDC_PROGRESS_REMAINING = 1030,
  IDC_PROGRESS_SPEED = 1031,
};

// What the copy dialog is built on. The link, the prompts, the queue and the link thread are
// the main window's and must outlive the link thread's jobs.
struct ProgressDlgServices {
  FTD2xx& link;            // used on the link thread only
  UserPrompts& prompts;    // the prompts of flows on the link thread (GuiThreadPrompts)
  GuiQueue& gui;           // the way back from the link thread to this dialog
  LinkThread& linkThread;  // where the copy runs
  RangeChooser* rangeChooser = nullptr;  // null: the range dialog (RangeDialogChooser)
  CopyProgressSink* progress = nullptr;  // optional, for tests and reports
  CopyOutputFactory makeOutput = {};     // empty: the shared replacing writer
  bool readCameraClock = false;          // for the copy record (see CopyServices)
  const CopyPlan* plan = nullptr;        // a comparison or a resume (see CopyServices)
  bool offerResume = false;              // ask to go on with an unfinished copy (idem)
};

// "Копирование...": the window-modal dialog that shows a copy of the camera's flash into a
// recording file, a view over CopySession. Start() shows it and posts the copy to the link
// thread behind whatever waits there; the copy's questions are asked on the GUI thread while
// the link thread waits. The display is refreshed once a second from a timer of this dialog
// while the copy asks for ticks. Cancel, Escape and a close request only clear the session's
// running flag; the dialog closes (finished(result)) once the copy on the link thread has ended.
//
// Threads: the dialog lives on the GUI thread. The copy's own state (the session and its host)
// is shared with the link thread's job and lives as long as either needs it, so the dialog may
// be destroyed at any time; it reaches the dialog only through queued calls.
class CProgressDlg : public QDialog {
  Q_OBJECT

 public:
  CProgressDlg(const ProgressDlgServices& services, QWidget* parent);
  ~CProgressDlg() override;

  // GUI thread, once: shows the dialog window-modal and posts the copy to the link thread.
  void Start();
  // The copy ended and the dialog closed: the session's summary is final.
  bool CopyEnded() const { return ended_; }
  // The session (its Summary() once CopyEnded()).
  CopySession& Session();

  QWidget* Control(int id) const;
  // What a tick does (public so that a test can tick).
  void OnTick(CopyClock clock);
  // The clock of the ticks while they run, and the timer behind them (else null).
  std::optional<CopyClock> Ticking() const { return ticking_; }
  const QTimer* TickTimer() const { return ticking_ ? &tickTimer_ : nullptr; }

 public slots:
  // Escape, which the dialog maps to Cancel.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Job;
  friend class Job;

  void OnCancel();
  void StartTicking(CopyClock clock);
  void StopTicking();
  void ShowProgress(const CopyDisplay& display);
  void OnCopyEnded(int result);

  std::map<int, QWidget*> controls_;
  QProgressBar* bar_ = nullptr;
  QLabel* elapsed_ = nullptr;
  QLabel* remaining_ = nullptr;
  QLabel* speed_ = nullptr;
  QTimer tickTimer_;
  std::optional<CopyClock> ticking_;
  LinkThread& linkThread_;
  bool started_ = false;
  bool ended_ = false;
  std::shared_ptr<Job> job_;
};

}  // namespace bf::ui
