#include "application/CBrindleFlashApp.h"

#include <QEventLoop>
#include <QFileInfo>
#include <memory>

#include "frames/JpegHeaderTable.h"
#include "host/SettingsIdentity.h"
#include "host/TickSource.h"
#include "host/Version.h"
#include "link/BackendRegistry.h"
#include "link/BridgeProbe.h"
#include "mainwindow/CBrindleFlashDlg.h"
#include "recordings/ThreadPlaybackTimer.h"
#include "settings/QtSettingsStore.h"
#include "shell/BackendChoice.h"
#include "shell/Icons.h"
#include "shell/QtTranslations.h"
#include "shell/QtUserPrompts.h"
#include "shell/StartupHeaderTable.h"

namespace bf::ui {

CBrindleFlashApp::CBrindleFlashApp(int& argc, char** argv) : app_(argc, argv) {
  NameApplication();
  QApplication::setWindowIcon(LoadAppIcon(IDR_MAINFRAME));
  InstallQtTranslations(QLocale());
}

void CBrindleFlashApp::NameApplication() {
  QCoreApplication::setOrganizationName(QString::fromUtf8(kSettingsOrganization));
  QCoreApplication::setApplicationName(QString::fromUtf8(kSettingsApplication));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
}

std::string CBrindleFlashApp::CommandLineText(const QStringList& arguments) {
  return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

int CBrindleFlashApp::Run() {
  QtSettingsStore settings;
  QtUserPrompts prompts;
  TickSource& ticks = SystemTickSource::Instance();

  JpegHeaderTable headers;
  if (!LoadStartupHeaderTable(
          settings, prompts, QCoreApplication::applicationDirPath().toStdString(),
          [](const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); },
          headers)) {
    return 1;
  }

  const std::string selection = BackendSelectionFromEnvironment();
  std::shared_ptr<D2xxBackend> backend = ChooseBackend(selection, ticks, prompts);

  ThreadPlaybackTimer timer;
  CBrindleFlashDlg window(MainWindowServices{prompts,
                                             settings,
                                             backend,
                                             ticks,
                                             headers,
                                             timer,
                                             CommandLineText(QCoreApplication::arguments()),
                                             {}});
  prompts.SetParentWindow(&window);
  window.WatchForPlugging(MakeBridgeProbe(selection));
  window.OnInitDialog();
  // The window appears once the start-up handshake has ended, in the state it left; its
  // messages are shown meanwhile.
  if (window.HandshakeRunning()) {
    QEventLoop startup;
    QObject::connect(&window, &CBrindleFlashDlg::handshakeEnded, &startup, &QEventLoop::quit);
    startup.exec();
  }
  window.exec();
  return 0;
}

}  // namespace bf::ui
