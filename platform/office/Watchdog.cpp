#include "platform/office/Watchdog.h"

TWatchdog::TWatchdog(std::function<void()> onExpiry)
    : onExpiry_(std::move(onExpiry)), thread_([this] { Run(); }) {}

TWatchdog::~TWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

TWatchdog::TGuard::TGuard(TWatchdog &watchdog, std::chrono::milliseconds limit) : watchdog_(watchdog) {
  {
    std::lock_guard lock(watchdog_.mutex_);
    watchdog_.armed_ = true;
    watchdog_.deadline_ = std::chrono::steady_clock::now() + limit;
  }
  watchdog_.changed_.notify_all();
}

TWatchdog::TGuard::~TGuard() {
  {
    std::lock_guard lock(watchdog_.mutex_);
    watchdog_.armed_ = false;
  }
  watchdog_.changed_.notify_all();
}

bool TWatchdog::Expired() {
  std::lock_guard lock(mutex_);
  return expired_;
}

void TWatchdog::Run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!armed_) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ && !stopping_ &&
        std::chrono::steady_clock::now() >= deadline_) {
      expired_ = true;
      armed_ = false;
      onExpiry_();
    }
  }
}
