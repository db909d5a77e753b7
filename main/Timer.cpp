#include "main/Timer.h"

TTimer::TTimer(QObject *parent) : QObject(parent) {
  // Its ticks are then seen as this timer's by whoever watches the application's events.
  timer_.setParent(this);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &TTimer::OnTimer);
}

void TTimer::Restart() {
  if (enabled_ && interval_ > 0)
    timer_.start(interval_);
  else
    timer_.stop();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_)
    return;
  enabled_ = enabled;
  Restart();
}

void TTimer::SetInterval(int milliseconds) {
  if (milliseconds == interval_)
    return;
  interval_ = milliseconds;
  Restart();
}
