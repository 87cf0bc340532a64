#include "shell/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace bf::ui {

QTranslator* InstallQtTranslations(const QLocale& locale) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return nullptr;
  auto* translator = new QTranslator(app);
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace bf::ui
