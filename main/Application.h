#pragma once
// The application object. Qt lets an exception escaping an event handler end the program; here
// it is shown in the standard error box and the program goes on in the state the action reached.
#include <QApplication>

class TApplication : public QApplication {
public:
  TApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;
};

// Installs the real modal boxes behind the runtime's message-box and error-box seams, and the
// notice window behind its notice seam.
void InstallStandardBoxes();

class QWidget;

// SIGINT (Ctrl+C), SIGTERM and SIGHUP end the program the way closing the window does: the
// window is closed as a user would close it and the event loop ends, so the port closes and the
// spreadsheet instance ends with the window. A second signal while that is under way ends the
// program at once (the spreadsheet instance is then ended by its guard, and a report is never
// half-written, being stored by rename).
void InstallQuitSignals(QWidget &window);
