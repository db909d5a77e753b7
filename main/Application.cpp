#include "main/Application.h"

#include "runtime/Dialogs.h"
#include "runtime/Exception.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler only writes the signal's number into a socket; the event loop reads it there.
int signalSockets[2] = {-1, -1};
std::atomic<int> signalsReceived = 0;

void OnQuitSignal(int sig) {
  if (signalsReceived++ > 0) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  const int saved = errno;
  const char byte = static_cast<char>(sig);
  [[maybe_unused]] const ssize_t written = write(signalSockets[1], &byte, 1);
  errno = saved;
}

} // namespace

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
  if (signalSockets[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
    return; // the signals keep their default action
  auto *notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(signalSockets[0], &byte, 1);
    notifier->setEnabled(false);
    window.close();
    // Also ends the loop of a message box that may be open, which would keep the program up.
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP})
    sigaction(sig, &action, nullptr);
}
