#pragma once
// Events and locks with the semantics the port dispatcher was built around: auto- and
// manual-reset events, a wait for one of two events with a time-out, and re-entrant locks.
// Events sit on eventfd so that a thread can also poll one next to a device descriptor.
#include <cstdint>
#include <mutex>

constexpr int WaitInfinite = -1;
// Results of WaitForEvents, numbered like the OS the dispatcher was written for.
constexpr uint32_t WaitObject0 = 0;
constexpr uint32_t WaitTimeout = 258;
constexpr uint32_t WaitFailed = 0xFFFFFFFFu;

class TEvent {
public:
  // Throws std::system_error when the descriptor cannot be made (descriptor limit reached).
  explicit TEvent(bool manualReset, bool initialState = false);
  ~TEvent();
  TEvent(const TEvent &) = delete;
  TEvent &operator=(const TEvent &) = delete;

  void Set();
  void Reset();
  // True when signalled within timeoutMs (WaitInfinite: no limit). An auto-reset event is
  // consumed by the waiter that sees it.
  bool Wait(int timeoutMs);
  // After poll() reported the descriptor readable: consumes an auto-reset event; false when
  // another waiter took it first. A manual-reset event stays signalled.
  bool Claim();
  bool IsSignalled() const;
  int Fd() const { return fd_; }
  bool ManualReset() const { return manualReset_; }

private:
  int fd_ = -1;
  bool manualReset_;
};

// WaitObject0 + index of the event that ended the wait, WaitTimeout or WaitFailed.
uint32_t WaitForEvents(TEvent &first, TEvent &second, int timeoutMs);

// A re-entrant lock, as the OS's critical sections are; usable with std::lock_guard.
class TCriticalSection {
public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }

private:
  std::recursive_mutex mutex_;
};
