#include "platform/SyncObjects.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left of a wait that started at `start`, for poll(); -1 stays -1.
int Remaining(int timeoutMs, Clock::time_point start) {
  if (timeoutMs < 0)
    return -1;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

} // namespace

TEvent::TEvent(bool manualReset, bool initialState) : manualReset_(manualReset) {
  fd_ = eventfd(initialState ? 1 : 0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd_ < 0)
    throw std::system_error(errno, std::generic_category(), "eventfd");
}

TEvent::~TEvent() { close(fd_); }

void TEvent::Set() {
  const uint64_t one = 1;
  // A counter already at its maximum is still signalled, so a failed write loses nothing.
  [[maybe_unused]] const auto n = write(fd_, &one, sizeof one);
}

void TEvent::Reset() {
  uint64_t value;
  [[maybe_unused]] const auto n = read(fd_, &value, sizeof value);
}

bool TEvent::Claim() {
  if (manualReset_)
    return IsSignalled();
  uint64_t value;
  return read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

bool TEvent::IsSignalled() const {
  pollfd p{fd_, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

bool TEvent::Wait(int timeoutMs) {
  const auto start = Clock::now();
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    const int r = poll(&p, 1, Remaining(timeoutMs, start));
    if (r < 0 && errno != EINTR)
      return false;
    if (r > 0 && Claim())
      return true;
    if (r == 0)
      return false;
  }
}

uint32_t WaitForEvents(TEvent &first, TEvent &second, int timeoutMs) {
  const auto start = Clock::now();
  for (;;) {
    pollfd p[2] = {{first.Fd(), POLLIN, 0}, {second.Fd(), POLLIN, 0}};
    const int r = poll(p, 2, Remaining(timeoutMs, start));
    if (r < 0) {
      if (errno == EINTR)
        continue;
      return WaitFailed;
    }
    if (r == 0)
      return WaitTimeout;
    // The first event wins when both are signalled, as the OS's wait does.
    if ((p[0].revents & POLLIN) && first.Claim())
      return WaitObject0;
    if ((p[1].revents & POLLIN) && second.Claim())
      return WaitObject0 + 1;
  }
}
