#include "flash/RangeDialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <array>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "flash/SectorGrid.h"
#include "frames/OverlayText.h"
#include "shell/ControlBuilder.h"
#include "shell/DialogUnits.h"

namespace bf::ui {

namespace {

constexpr int kDialogWidthDlu = 422;
constexpr int kDialogHeightDlu = 330;
constexpr int kOk = 1;
constexpr int kCancel = 2;

using K = ControlKind;
constexpr std::array kRangeDialogControls = {
    ControlRow{0, K::Label,
               "Выберите записанный отрезок по времени. Мышь: щелчок — начало, перетаскивание "
               "или Shift+щелчок — конец. Клавиши: стрелки, Home, End; с Shift — конец.",
               7, 5, 408, 18},
    ControlRow{IDC_RANGE_GRID, K::StaticFrame, "", 7, 25, 408, 224},
    ControlRow{IDC_RANGE_LOOK, K::Label, "", 7, 253, 408, 8},
    ControlRow{0, K::Label, "Начало:", 7, 265, 30, 8},
    ControlRow{IDC_RANGE_START, K::Label, "", 40, 265, 375, 8},
    ControlRow{0, K::Label, "Конец:", 7, 277, 30, 8},
    ControlRow{IDC_RANGE_END, K::Label, "", 40, 277, 375, 8},
    ControlRow{IDC_RANGE_SIZE, K::Label, "", 7, 289, 408, 8},
    ControlRow{0, K::Label,
               "Красная рамка — сектор указателя записи, оранжевая черта — переход через конец "
               "памяти.",
               7, 301, 408, 8},
    ControlRow{kOk, K::DefaultButton, "Копировать", 306, 312, 52, 14},
    ControlRow{kCancel, K::PushButton, "Отмена", 363, 312, 52, 14},
};

}  // namespace

RangeDialog::RangeDialog(uint8_t pointerSector, bool wrapped, SectorHeaderLookup lookup,
                         QWidget* parent)
    : QDialog(parent), model_(pointerSector, wrapped), lookup_(std::move(lookup)) {
  setWindowTitle(QStringLiteral("Выбор отрезка памяти"));
  setFont(DialogFont());
  const DialogBaseUnits units = MeasureBaseUnits(font());
  controls_ = BuildControls(this, kRangeDialogControls, units, [this](const ControlRow&) {
    grid_ = new SectorGrid(model_, this);
    return grid_;
  });
  for (int id : {IDC_RANGE_LOOK, IDC_RANGE_START, IDC_RANGE_END, IDC_RANGE_SIZE}) {
    static_cast<QLabel*>(controls_.at(id))->setTextFormat(Qt::PlainText);
  }
  for (QObject* child : children()) {
    if (auto* label = qobject_cast<QLabel*>(child); label != nullptr && label->height() > 20) {
      label->setWordWrap(true);
    }
  }
  setFixedSize(DialogXToPixels(kDialogWidthDlu, units), DialogYToPixels(kDialogHeightDlu, units));

  connect(static_cast<QPushButton*>(controls_.at(kOk)), &QPushButton::clicked, this,
          &QDialog::accept);
  connect(static_cast<QPushButton*>(controls_.at(kCancel)), &QPushButton::clicked, this,
          &QDialog::reject);
  grid_->onChange = [this] { Refresh(); };
  grid_->setFocus(Qt::OtherFocusReason);

  // One fetch per turn of the event loop: the person's input is handled between two reads.
  fetchTimer_.setSingleShot(true);
  fetchTimer_.setInterval(0);
  connect(&fetchTimer_, &QTimer::timeout, this, &RangeDialog::FetchOne);
  Refresh();
}

RangeDialog::~RangeDialog() = default;

QWidget* RangeDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QString RangeDialog::ControlText(int id) const {
  const auto* label = qobject_cast<const QLabel*>(Control(id));
  return label != nullptr ? label->text() : QString();
}

void RangeDialog::RethrowFailure() const {
  if (failure_) std::rethrow_exception(failure_);
}

QString RangeDialog::SectorText(int sector) const {
  const QString name = QStringLiteral("сектор %1").arg(sector);
  if (model_.IsUnwritten(sector)) return name + QStringLiteral(" — не записан");
  const SectorRangeModel::SectorInfo& info = model_.Info(sector);
  switch (info.state) {
    case SectorRangeModel::State::Frame:
      return name + QStringLiteral(" — ") +
             QString::fromStdString(BuildOverlayText(info.header)).trimmed();
    case SectorRangeModel::State::NoFrame:
      return name + QStringLiteral(" — кадра нет");
    case SectorRangeModel::State::Unknown:
      break;
  }
  return name + QStringLiteral(" — чтение...");
}

void RangeDialog::Refresh() {
  const int look = model_.Hover() >= 0 ? model_.Hover() : model_.SectorAt(model_.CursorPosition());
  QString lookText = SectorText(look);
  lookText[0] = lookText[0].toUpper();
  static_cast<QLabel*>(controls_.at(IDC_RANGE_LOOK))->setText(lookText);
  static_cast<QLabel*>(controls_.at(IDC_RANGE_START))->setText(SectorText(model_.StartSector()));
  static_cast<QLabel*>(controls_.at(IDC_RANGE_END))->setText(SectorText(model_.EndSector()));
  QString size = QStringLiteral("Выбрано секторов: %1 (%2 МБайт)")
                     .arg(model_.SelectedCount())
                     .arg(model_.SelectedCount() * 4);
  if (model_.StartSector() > model_.EndSector()) {
    size += QStringLiteral("; отрезок проходит через конец памяти и будет сохранён в два файла");
  }
  static_cast<QLabel*>(controls_.at(IDC_RANGE_SIZE))->setText(size);
  grid_->update();
  if (!failure_ && !abandoned_ && model_.HasWork() && !fetchTimer_.isActive()) {
    fetchTimer_.start();
  }
}

void RangeDialog::Abandon() {
  abandoned_ = true;
  fetchTimer_.stop();
  reject();
}

void RangeDialog::LookUpElsewhere(std::function<void(uint8_t)> ask) {
  askElsewhere_ = std::move(ask);
  Refresh();
}

void RangeDialog::HeaderArrived(int sector, const std::optional<FrameHeader>& header) {
  asked_ = false;
  model_.Store(sector, header);
  Refresh();
}

void RangeDialog::FetchOne() {
  if (abandoned_) return;
  if (askElsewhere_) {
    if (asked_) return;
    if (const std::optional<int> sector = model_.TakeNextWanted()) {
      asked_ = true;
      askElsewhere_(static_cast<uint8_t>(*sector));
    }
    return;
  }
  try {
    model_.FetchNext(lookup_);
  } catch (...) {
    // The camera did not answer as a camera must; the copy reports it once this dialog is gone.
    failure_ = std::current_exception();
    reject();
    return;
  }
  Refresh();
}

std::optional<SectorRange> RangeDialogChooser::ChooseOnGuiThread(uint8_t pointerSector,
                                                                 bool wrapped,
                                                                 const SectorHeaderLookup& lookup) {
  RangeDialog dialog(pointerSector, wrapped, lookup, parent_);
  open_ = &dialog;
  const int result = dialog.exec();
  open_ = nullptr;
  dialog.RethrowFailure();
  if (result != QDialog::Accepted) return std::nullopt;
  return SectorRange{dialog.Model().StartSector(), dialog.Model().EndSector()};
}

// What the dialog on the GUI thread and the copying thread tell each other.
struct RangeDialogChooser::Exchange {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<uint8_t> asked;  // sectors whose headers the dialog waits for
  bool closed = false;
  std::optional<SectorRange> chosen;

  void Tell(const std::function<void(Exchange&)>& change) {
    {
      const std::lock_guard lock(mutex);
      change(*this);
    }
    changed.notify_all();
  }
};

std::optional<SectorRange> RangeDialogChooser::ChooseRange(uint8_t pointerSector, bool wrapped,
                                                           const SectorHeaderLookup& lookup) {
  abandoned_ = false;
  if (QCoreApplication::instance() != nullptr &&
      QThread::currentThread() == QCoreApplication::instance()->thread()) {
    return ChooseOnGuiThread(pointerSector, wrapped, lookup);
  }
  auto exchange = std::make_shared<Exchange>();
  QPointer<RangeDialog> shown;
  bool opened = false;
  gui_.Ask([&] {
    shown = ShowForCopyingThread(pointerSector, wrapped, exchange);
    opened = true;
  });
  if (!opened) return std::nullopt;
  return AnswerLookups(*exchange, shown, lookup);
}

RangeDialog* RangeDialogChooser::ShowForCopyingThread(uint8_t pointerSector, bool wrapped,
                                                      const std::shared_ptr<Exchange>& exchange) {
  auto* dialog = new RangeDialog(pointerSector, wrapped, {}, parent_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->LookUpElsewhere([exchange](uint8_t sector) {
    exchange->Tell([&](Exchange& e) { e.asked.push_back(sector); });
  });
  QObject::connect(dialog, &QDialog::finished, dialog, [exchange, dialog](int result) {
    std::optional<SectorRange> range;
    if (result == QDialog::Accepted) {
      range = SectorRange{dialog->Model().StartSector(), dialog->Model().EndSector()};
    }
    exchange->Tell([&](Exchange& e) {
      e.chosen = range;
      e.closed = true;
    });
  });
  // The window going away takes the dialog with it before it has answered.
  QObject::connect(dialog, &QObject::destroyed,
                   [exchange] { exchange->Tell([](Exchange& e) { e.closed = true; }); });
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
  return dialog;
}

std::optional<SectorRange> RangeDialogChooser::AnswerLookups(Exchange& exchange,
                                                             QPointer<RangeDialog> shown,
                                                             const SectorHeaderLookup& lookup) {
  std::exception_ptr failure;
  std::unique_lock lock(exchange.mutex);
  for (;;) {
    exchange.changed.wait(lock, [&] { return exchange.closed || !exchange.asked.empty(); });
    if (exchange.closed) break;
    const uint8_t sector = exchange.asked.front();
    exchange.asked.pop_front();
    lock.unlock();
    std::optional<FrameHeader> header;
    if (!failure && !abandoned_) {
      try {
        header = lookup(sector);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    if (failure || abandoned_) {
      // The camera failed: the dialog closes as if cancelled, and the copy reports it.
      gui_.Post([shown] {
        if (shown) shown->Abandon();
      });
    } else {
      gui_.Post([shown, sector, header] {
        if (shown) shown->HeaderArrived(sector, header);
      });
    }
    lock.lock();
  }
  if (failure) std::rethrow_exception(failure);
  return abandoned_ ? std::nullopt : exchange.chosen;
}

void RangeDialogChooser::Abandon() {
  // From inside a lookup: on the GUI thread the modal dialog is closed at once; on the copying
  // thread the dialog is told once the lookup has returned.
  abandoned_ = true;
  if (open_ != nullptr) open_->Abandon();
}

}  // namespace bf::ui
