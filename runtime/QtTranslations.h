#pragma once
// Qt's own texts (the file dialog's "Look in", the standard buttons' "Cancel") in the user's
// language, from Qt's translation catalogues. The tool's own texts are Russian already and are
// not translated.
class QCoreApplication;

// Loads the catalogue of QLocale()'s language, when there is one, for the life of app. False
// when none was found (an English desktop, or the catalogues not installed): Qt then stays
// English.
bool InstallQtTranslations(QCoreApplication &app);
