#include "serial/AdPortWindow.h"

#include "serial/AdPort.h"
#include "serial/AwTypes.h"

#include <QCoreApplication>
#include <QThread>

QEvent::Type TApdNotifyEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

TApdPortWindow::TApdPortWindow(TApdCustomComPort &port) : port_(port) { setObjectName("awComWindow"); }

void TApdPortWindow::Post(unsigned msg, unsigned wParam, long lParam) {
  QCoreApplication::postEvent(this, new TApdNotifyEvent(msg, wParam, lParam));
}

void TApdPortWindow::DeliverPosted() {
  // Only the owning thread may take them; elsewhere they wait for its event loop.
  if (QThread::currentThread() == thread())
    QCoreApplication::sendPostedEvents(this, TApdNotifyEvent::EventType());
}

void TApdPortWindow::Discard() {
  discarded_ = true;
  if (delivering_ > 0)
    deleteLater();
  else
    delete this;
}

void TApdPortWindow::customEvent(QEvent *event) {
  if (event->type() != TApdNotifyEvent::EventType() || discarded_)
    return;
  const auto *n = static_cast<TApdNotifyEvent *>(event);
  ++delivering_;
  struct Leave {
    int &depth;
    ~Leave() { --depth; }
  } leave{delivering_};
  if (n->Msg == apw_ClosePending)
    port_.ClosePendingArrived();
  else
    port_.HandleNotification(n->Msg, n->WParam, n->LParam);
}
