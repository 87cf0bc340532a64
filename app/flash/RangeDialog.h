#pragma once
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "flash/RangeChooser.h"
#include "flash/SectorRangeModel.h"
#include "host/GuiQueue.h"

class QLabel;

namespace bf::ui {

class SectorGrid;

// Control ids of the range dialog (its own table, built by the shared builder).
enum RangeDialogControl {
  IDC_RANGE_GRID = 1100,
  IDC_RANGE_LOOK = 1101,   // the sector under the mouse or the cursor
  IDC_RANGE_START = 1102,  // first sector of the selection and its first frame
  IDC_RANGE_END = 1103,    // last sector of the selection and its first frame
  IDC_RANGE_SIZE = 1104,   // how much is selected, and whether it crosses the end of the flash
};

// The dialog in which the person picks the first and last 4 MiB sector of a type 2 camera's
// flash to copy, by the time of their first frames. The frame headers come from the lookup
// one sector per event-loop turn (each costs a 64 KiB camera read), only for the sectors looked
// at and the row starts, so the dialog stays responsive while it reads. A failing lookup (the
// camera gone), or its owner calling Abandon, ends the dialog at once; ChooseRange then passes the
// failure on to the copy, which reports it. GUI thread only.
class RangeDialog : public QDialog {
  Q_OBJECT

 public:
  RangeDialog(uint8_t pointerSector, bool wrapped, SectorHeaderLookup lookup, QWidget* parent);
  ~RangeDialog() override;

  SectorRangeModel& Model() { return model_; }
  SectorGrid& Grid() { return *grid_; }
  QWidget* Control(int id) const;
  QString ControlText(int id) const;
  // Rethrows what the lookup threw, if it did.
  void RethrowFailure() const;
  // The camera failed: no more reads, and the dialog closes as if cancelled.
  void Abandon();

  // Lookups that answer later: the dialog asks for one sector at a time through ask and is given
  // the header with HeaderArrived (the dialog built with an empty lookup).
  void LookUpElsewhere(std::function<void(uint8_t sector)> ask);
  void HeaderArrived(int sector, const std::optional<FrameHeader>& header);

 private:
  void Refresh();
  void FetchOne();
  QString SectorText(int sector) const;

  SectorRangeModel model_;
  SectorHeaderLookup lookup_;
  std::function<void(uint8_t)> askElsewhere_;
  bool asked_ = false;  // a sector asked elsewhere has not been answered yet
  SectorGrid* grid_ = nullptr;
  std::map<int, QWidget*> controls_;
  QTimer fetchTimer_;
  std::exception_ptr failure_;
  bool abandoned_ = false;
};

// RangeChooser over RangeDialog, for the copy of a type 2 camera. ChooseRange is called on the
// copying thread (the link thread); the dialog is shown on the GUI thread through gui, over
// parent, and the copying thread meanwhile reads the headers the dialog asks for and hands them
// back, so the window repaints while the camera answers. Called on the GUI thread itself, the
// dialog runs modally and its lookups read there. A queue that is closed (the window going away)
// or a dialog destroyed unanswered gives no range.
// Threads: ChooseRange on any thread; Abandon on the thread that runs the lookup.
class RangeDialogChooser final : public RangeChooser {
 public:
  RangeDialogChooser(GuiQueue& gui, QWidget* parent) : gui_(gui), parent_(parent) {}
  std::optional<SectorRange> ChooseRange(uint8_t pointerSector, bool wrapped,
                                         const SectorHeaderLookup& lookup) override;
  void Abandon() override;

 private:
  struct Exchange;
  // GUI thread: the dialog, shown without waiting, tells exchange what it wants and its answer.
  RangeDialog* ShowForCopyingThread(uint8_t pointerSector, bool wrapped,
                                    const std::shared_ptr<Exchange>& exchange);
  // Copying thread: reads the headers the dialog asks for until it has closed.
  std::optional<SectorRange> AnswerLookups(Exchange& exchange, QPointer<RangeDialog> shown,
                                           const SectorHeaderLookup& lookup);
  std::optional<SectorRange> ChooseOnGuiThread(uint8_t pointerSector, bool wrapped,
                                               const SectorHeaderLookup& lookup);

  GuiQueue& gui_;
  QPointer<QWidget> parent_;
  RangeDialog* open_ = nullptr;  // the modal dialog while it is shown (GUI thread)
  std::atomic<bool> abandoned_{false};
};

}  // namespace bf::ui
