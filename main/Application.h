#pragma once
// The application object. Qt lets an exception escaping an event handler end the program; here
// it is shown in the standard error box and the program goes on in the state the action reached.
#include <QApplication>

class TApplication : public QApplication {
public:
  TApplication(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;
};

// Installs the real modal boxes behind the runtime's message-box and error-box seams.
void InstallStandardBoxes();
