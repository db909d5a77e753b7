#pragma once
// The component's notification window: a hidden receiver on the user-interface thread. The
// dispatch thread posts the notifications meant for the component to it, and the component
// posts the close-finish message to itself through it, so that both run on the thread that
// owns the component.
#include <QEvent>
#include <QObject>

class TApdCustomComPort;

// One notification: message number and its two parameters.
class TApdNotifyEvent : public QEvent {
public:
  static QEvent::Type EventType();
  TApdNotifyEvent(unsigned msg, unsigned wParam, long lParam)
      : QEvent(EventType()), Msg(msg), WParam(wParam), LParam(lParam) {}
  unsigned Msg;
  unsigned WParam;
  long LParam;
};

class TApdPortWindow : public QObject {
  Q_OBJECT

public:
  explicit TApdPortWindow(TApdCustomComPort &port);
  // Safe from any thread.
  void Post(unsigned msg, unsigned wParam, long lParam);
  // Delivers the notifications already posted, on the calling (owning) thread.
  void DeliverPosted();
  // The port is done with this window: it delivers nothing more, and it goes now, or after the
  // notification it is delivering when that is what closed the port.
  void Discard();

protected:
  void customEvent(QEvent *event) override;

private:
  TApdCustomComPort &port_;
  int delivering_ = 0;
  bool discarded_ = false;
};
