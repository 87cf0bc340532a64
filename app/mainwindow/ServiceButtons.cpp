// The hidden service buttons of the main window (created invisible; only tests and a
// developer with a resource editor reach them). Link failures are reported by the same guard
// as every camera handler; file failures by the file error texts.
#include <QAbstractButton>
#include <vector>

#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"
#include "mainwindow/FileWriter.h"

namespace bf::ui {
namespace {

constexpr uint32_t kAllDataChunk = 63'488;

FileDialogRequest RawOutputRequest() {
  FileDialogRequest request;
  request.hideReadOnly = true;
  request.confirmOverwrite = true;
  return request;
}

// The busy cursor for the life of a scope, failures included.
class BusyScope {
 public:
  explicit BusyScope(UserPrompts& prompts) : prompts_(prompts) { prompts_.SetBusyCursor(true); }
  ~BusyScope() { prompts_.SetBusyCursor(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  UserPrompts& prompts_;
};

}  // namespace

void CBrindleFlashDlg::ConnectServiceButtons() {
  connect(Button(IDC_READ_RX), &QAbstractButton::clicked, this, [this] { OnReadRx(); });
  connect(Button(IDC_CUB), &QAbstractButton::clicked, this, [this] { OnReconnect(); });
  connect(Button(IDC_ALL_DATA), &QAbstractButton::clicked, this, [this] { OnAllData(); });
  connect(Button(IDC_TEST), &QAbstractButton::clicked, this, [this] { OnTestCommand(); });
}

void CBrindleFlashDlg::OnReadRx() {
  std::vector<uint8_t> bytes;
  const bool read = Guarded([&] {
    const uint32_t pending = link_->GetQueueStatus();
    if (pending == 0) return;
    bytes.resize(pending);
    // Only what actually arrived is kept: a short read must not put undefined bytes on disk.
    bytes.resize(link_->ReadWithTimeout(bytes.data(), pending));
  });
  if (!read || bytes.empty()) return;
  const std::optional<std::string> path = services_.prompts.ChooseSaveFile(RawOutputRequest());
  if (!path) return;
  std::string error;
  std::optional<FileWriter> file = FileWriter::Create(*path, &error);
  if (!file || !file->Write(bytes, &error) || !file->Close(&error)) {
    services_.prompts.ShowMessage(error, "", MessageIcon::Error, MessageButtons::Ok);
  }
}

void CBrindleFlashDlg::OnReconnect() {
  Guarded([this] {
    link_->Purge(kPurgeRx | kPurgeTx);
    link_->ResetDevice();
    link_->Close();
    link_->Open(0);
  });
}

void CBrindleFlashDlg::OnAllData() {
  const std::optional<std::string> path = services_.prompts.ChooseSaveFile(RawOutputRequest());
  if (!path) return;
  std::string error;
  std::optional<FileWriter> file = FileWriter::Create(*path, &error);
  if (!file) {
    services_.prompts.ShowMessage(error, "", MessageIcon::Error, MessageButtons::Ok);
    return;
  }
  bool fileOk = true;
  {
    BusyScope busy(services_.prompts);
    std::vector<uint8_t> chunk(kAllDataChunk);
    Guarded([&] {
      for (;;) {
        const uint32_t got = link_->ReadWithTimeout(chunk.data(), kAllDataChunk);
        if (got == 0) break;
        if (!file->Write(std::span(chunk.data(), got), &error)) {
          fileOk = false;
          break;
        }
      }
    });
  }
  if (fileOk && !file->Close(&error)) fileOk = false;
  if (!fileOk) services_.prompts.ShowMessage(error, "", MessageIcon::Error, MessageButtons::Ok);
}

void CBrindleFlashDlg::OnTestCommand() {
  Guarded([this] { SendTestCommand(*link_); });
}

}  // namespace bf::ui
