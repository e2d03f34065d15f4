#pragma once
// The windows speak Spanish whatever the system's locale: dates, month and day
// names (the calendar of the date picker) and Qt's own texts (the file dialog,
// the buttons of message boxes).

class QCoreApplication;

namespace corvane {

// Makes Spanish (Spain) the default locale and installs Qt's Spanish
// translations (qtbase_es.qm from Qt's translations folder, Debian package
// qt6-translations-l10n) into `app`. Call it once the application exists and
// before any window is built: a widget takes the default locale when it is made.
// False when the translations are missing; the locale is Spanish anyway.
bool poner_espanol(QCoreApplication& app);

} // namespace corvane
