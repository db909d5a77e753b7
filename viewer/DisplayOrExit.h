#pragma once
// The window's start without a display: Qt would print a paragraph about platform plugins
// ("Reinstalling the application may fix this problem") and abort with a core dump. While the
// application object is made, this says in one line that there is no display instead, and ends
// the program with status 1. Qt's own texts are loaded in the user's language, as kstune does.
class QCoreApplication;

namespace viewer {

class DisplayOrExit {
public:
  DisplayOrExit();
  ~DisplayOrExit();
  DisplayOrExit(const DisplayOrExit &) = delete;
  DisplayOrExit &operator=(const DisplayOrExit &) = delete;
};

// The catalogue of QLocale()'s language (qtbase_ru.qm…) for the life of app; false when there is none.
bool LoadQtTranslations(QCoreApplication &app);

} // namespace viewer
