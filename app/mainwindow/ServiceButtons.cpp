// The hidden service buttons of the main window (created invisible; only tests and a
// developer with a resource editor reach them). Link failures are reported by the same guard
// as every camera handler; file failures by the file error texts. The files are written by
// the replacing writer: a failure leaves an existing file as it was, and the open recording,
// which is mapped, may be chosen without harm.
#include <QAbstractButton>
#include <vector>

#include "host/BusyCursor.h"
#include "host/FileErrorText.h"
#include "host/GuiThreadPrompts.h"
#include "host/ReplacingFileWriter.h"
#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/ReconnectDevice.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "mainwindow/ControlIds.h"

namespace bf::ui {
namespace {

constexpr uint32_t kAllDataChunk = 63'488;

FileDialogRequest RawOutputRequest() {
  FileDialogRequest request;
  request.hideReadOnly = true;
  request.confirmOverwrite = true;
  return request;
}

void ReportFileError(UserPrompts& prompts, uint32_t error, const std::string& path) {
  prompts.ShowMessage(FileErrorText(error, path), "", MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace

void CBrindleFlashDlg::ConnectServiceButtons() {
  connect(Button(IDC_READ_RX), &QAbstractButton::clicked, this, [this] { OnReadRx(); });
  connect(Button(IDC_CUB), &QAbstractButton::clicked, this, [this] { OnReconnect(); });
  connect(Button(IDC_ALL_DATA), &QAbstractButton::clicked, this, [this] { OnAllData(); });
  connect(Button(IDC_TEST), &QAbstractButton::clicked, this, [this] { OnTestCommand(); });
}

// Each runs on the link thread whole: its file dialog is asked on the GUI thread meanwhile.
void CBrindleFlashDlg::OnReadRx() {
  PostToLink([this] {
    UserPrompts& prompts = *linkPrompts_;
    std::vector<uint8_t> bytes;
    const bool read = RunGuarded(prompts, [&] {
      const uint32_t pending = link_->GetQueueStatus();
      if (pending == 0) return;
      bytes.resize(pending);
      // Only what actually arrived is kept: a short read must not put undefined bytes on disk.
      bytes.resize(link_->ReadWithTimeout(bytes.data(), pending));
    });
    if (!read || bytes.empty()) return;
    const std::optional<std::string> path = prompts.ChooseSaveFile(RawOutputRequest());
    if (!path) return;
    if (const uint32_t error = WriteWholeFile(*path, bytes)) ReportFileError(prompts, error, *path);
  });
}

void CBrindleFlashDlg::OnReconnect() {
  Guarded([this] { ReconnectDevice(*link_); });
}

void CBrindleFlashDlg::OnAllData() {
  PostToLink([this] {
    UserPrompts& prompts = *linkPrompts_;
    const std::optional<std::string> path = prompts.ChooseSaveFile(RawOutputRequest());
    if (!path) return;
    ReplacingFileWriter file;
    if (const uint32_t error = file.Open(*path)) {
      ReportFileError(prompts, error, *path);
      return;
    }
    {
      BusyCursorGuard busy(prompts);
      std::vector<uint8_t> chunk(kAllDataChunk);
      // A link failure is reported by the guard and ends the reading; what came before it is
      // still the camera's output and is kept.
      RunGuarded(prompts, [&] {
        for (;;) {
          const uint32_t got = link_->ReadWithTimeout(chunk.data(), kAllDataChunk);
          if (got == 0 || file.Write(std::span(chunk.data(), got)) != 0) break;
        }
      });
    }
    if (const uint32_t error = file.Commit()) ReportFileError(prompts, error, *path);
  });
}

void CBrindleFlashDlg::OnTestCommand() {
  Guarded([this] { SendTestCommand(*link_); });
}

}  // namespace bf::ui
