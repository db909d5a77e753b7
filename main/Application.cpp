#include "main/Application.h"

#include "journal/Journal.h"
#include "main/BenchJournal.h"
#include "platform/QuitSignals.h"
#include "runtime/Dialogs.h"
#include "runtime/Exception.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::bad_alloc &) {
    ShowErrorBox(EOutOfMemory().Message);
  } catch (const std::exception &e) {
    ShowErrorBox(e.what());
  }
  return true;
}

void InstallStandardBoxes() {
  SetMessageBoxHandler([](const std::string &text, const std::string &caption, int buttons) {
    QMessageBox box(QMessageBox::NoIcon,
                    caption.empty() ? QApplication::applicationName() : QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton, QApplication::activeWindow());
    if (buttons & mbOK)
      box.addButton(QMessageBox::Ok);
    if (buttons & mbCancel)
      box.addButton(QMessageBox::Cancel);
    if (buttons & mbYes)
      box.addButton(QMessageBox::Yes);
    if (buttons & mbNo)
      box.addButton(QMessageBox::No);
    const int answer = box.exec();
    switch (answer) {
    case QMessageBox::Cancel:
      return static_cast<int>(mbCancel);
    case QMessageBox::Yes:
      return static_cast<int>(mbYes);
    case QMessageBox::No:
      return static_cast<int>(mbNo);
    default:
      return static_cast<int>(mbOK);
    }
  });
  SetErrorBoxHandler([](const std::string &message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), QString::fromStdString(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  });
}

void InstallQuitSignals(QWidget &window) {
  const int descriptor = InstallQuitSignalHandlers();
  if (descriptor < 0)
    return; // the signals keep their default action
  auto *notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
    const int signal = TakeQuitSignal();
    notifier->setEnabled(false);
    // The session ends here rather than at the window's closing, so the journal says why.
    if (const auto how = SessionEndOfSignal(signal))
      Journal().SessionEnded(*how);
    window.close();
    // Also ends the loop of a message box that may be open, which would keep the program up.
    QCoreApplication::quit();
  });
}
