#pragma once
#include <QLocale>

class QTranslator;

namespace bf::ui {

// Qt's own texts (standard message box buttons, the file dialogs) in the language of locale,
// from the translations Qt is installed with ("qtbase"), so that a Russian desktop gets Russian
// dialogs like the rest of the window. Returns the installed translator, owned by the
// application object, or nullptr when Qt has no translation for that language (its English
// texts stay). GUI thread, after the application object exists.
QTranslator* InstallQtTranslations(const QLocale& locale);

}  // namespace bf::ui
