#pragma once
// Waiting on a socket that a library owns (the factory server's connection), bounded in time and
// ended at once by a wake-up another thread gives.
#include <atomic>

// Once given, every wait that shares it ends at once, now and from then on. Safe from any thread.
class TWakeUp {
public:
  TWakeUp();
  ~TWakeUp();
  TWakeUp(const TWakeUp &) = delete;
  TWakeUp &operator=(const TWakeUp &) = delete;

  void Fire();
  bool Fired() const { return fired_.load(); }
  int Descriptor() const { return pipe_[0]; }

private:
  int pipe_[2] = {-1, -1};
  std::atomic<bool> fired_{false};
};

enum class TSocketWait { Ready, TimedOut, WokenUp, Failed };
// Waits until fd can be read (or written, forWrite), at most timeoutMs, or until wakeUp fires.
TSocketWait WaitSocket(int fd, bool forWrite, int timeoutMs, const TWakeUp &wakeUp);
// Ends both directions of the socket, so that nothing more is waited for on it.
void CutSocket(int fd);
