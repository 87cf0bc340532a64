// The hidden service buttons of the main window (created invisible; only tests and a
// developer with a resource editor reach them). Each runs on the link thread whole: its file
// dialog is asked on the GUI thread meanwhile, and a link failure is reported by the same guard
// as every camera handler.
#include <QPushButton>

#include "host/GuiThreadPrompts.h"
#include "link/CommandSet.h"
#include "link/FTD2xx.h"
#include "link/ReconnectDevice.h"
#include "link/ServiceOutputs.h"
#include "mainwindow/CBrindleFlashDlg.h"

namespace bf::ui {

void CBrindleFlashDlg::ConnectServiceButtons() {
  const auto onClick = [this](QPushButton* button, void (*action)(FTD2xx&, UserPrompts&)) {
    connect(button, &QPushButton::clicked, this,
            [this, action] { PostToLink([this, action] { action(*link_, *linkPrompts_); }); });
  };
  onClick(widgets_.readRx, &SaveReceivedBytes);
  onClick(widgets_.allData, &SaveCameraOutput);
  onClick(widgets_.reconnect, [](FTD2xx& link, UserPrompts& prompts) {
    RunGuarded(prompts, [&] { ReconnectDevice(link); });
  });
  onClick(widgets_.test, [](FTD2xx& link, UserPrompts& prompts) {
    RunGuarded(prompts, [&] { SendTestCommand(link); });
  });
}

}  // namespace bf::ui
