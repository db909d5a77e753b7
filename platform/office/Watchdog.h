#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Remote calls into the office have no time-out of their own. While a call is guarded, a thread
// of its own waits for it; if the call outlasts its time, the thread runs the expiry action
// (which ends the office process, so that the call returns with an error).
class TWatchdog {
public:
  explicit TWatchdog(std::function<void()> onExpiry);
  ~TWatchdog();
  TWatchdog(const TWatchdog &) = delete;
  TWatchdog &operator=(const TWatchdog &) = delete;

  // Guards the calls made while it lives; guards do not nest.
  class TGuard {
  public:
    TGuard(TWatchdog &watchdog, std::chrono::milliseconds limit);
    ~TGuard();
    TGuard(const TGuard &) = delete;
    TGuard &operator=(const TGuard &) = delete;

  private:
    TWatchdog &watchdog_;
  };

  // True once the expiry action has run.
  bool Expired();

private:
  void Run();

  std::function<void()> onExpiry_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool expired_ = false;
  bool stopping_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};
