#pragma once

// Qt's own texts (the file chooser, standard buttons, an edit's context menu)
// in Chinese like the rest of the interface, whatever the process locale.

class QCoreApplication;

namespace lorvex {

// Installs Qt's Chinese catalogue (qtbase_zh_CN.qm from Qt's translations
// folder) on app. Texts only: the default locale, and with it how numbers are
// written, is left as it is. False when the catalogue is not installed
// (Debian package qt6-translations-l10n); Qt's texts then stay English.
bool InstallQtChineseTranslations(QCoreApplication& app);

}  // namespace lorvex
