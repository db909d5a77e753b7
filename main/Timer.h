#pragma once
// The window's timer with the semantics the routines rely on: enabling a running timer changes
// nothing, a new interval restarts a running countdown, the same interval changes nothing,
// disabling stops it. QTimer restarts on every start()/setInterval(), hence this wrapper.
#include <QObject>
#include <QTimer>
#include <functional>

class TTimer : public QObject {
  Q_OBJECT
public:
  explicit TTimer(QObject *parent = nullptr);

  bool Enabled() const { return enabled_; }
  // True while a countdown is running (enabled with a positive interval).
  bool Running() const { return timer_.isActive(); }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);

signals:
  void OnTimer();

private:
  void Restart();

  QTimer timer_;
  bool enabled_ = false;
  int interval_ = 1000;
};
