#include "os/SocketWait.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TWakeUp::TWakeUp() {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
    pipe_[0] = pipe_[1] = -1;
}

TWakeUp::~TWakeUp() {
  for (int fd : pipe_)
    if (fd >= 0)
      close(fd);
}

void TWakeUp::Fire() {
  fired_.store(true);
  // The byte is never read: every later wait on the pipe ends at once.
  const char byte = 1;
  if (pipe_[1] >= 0)
    [[maybe_unused]] const ssize_t written = write(pipe_[1], &byte, 1);
}

TSocketWait WaitSocket(int fd, bool forWrite, int timeoutMs, const TWakeUp &wakeUp) {
  if (wakeUp.Fired())
    return TSocketWait::WokenUp;
  pollfd fds[2] = {{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}, {wakeUp.Descriptor(), POLLIN, 0}};
  const int ready = poll(fds, wakeUp.Descriptor() >= 0 ? 2 : 1, timeoutMs);
  if (ready < 0)
    return errno == EINTR ? TSocketWait::TimedOut : TSocketWait::Failed;
  if (ready > 0 && fds[1].revents)
    return TSocketWait::WokenUp;
  if (ready > 0 && fds[0].revents)
    return TSocketWait::Ready;
  return TSocketWait::TimedOut;
}

void CutSocket(int fd) { shutdown(fd, SHUT_RDWR); }
