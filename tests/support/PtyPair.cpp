#include "tests/support/PtyPair.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
    throw std::runtime_error("cannot make a pseudo-terminal");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0)
    throw std::runtime_error("ptsname failed");
  slavePath_ = name;
  termios tio;
  if (tcgetattr(master_, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(master_, TCSANOW, &tio);
  }
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PtyPair::~PtyPair() {
  StopEcho();
  if (master_ >= 0)
    close(master_);
  close(stopFd_);
}

void PtyPair::Write(const void *bytes, size_t count) {
  const auto *p = static_cast<const uint8_t *>(bytes);
  size_t done = 0;
  while (done < count) {
    const ssize_t w = write(master_, p + done, count - done);
    if (w > 0) {
      done += static_cast<size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd pf{master_, POLLOUT, 0};
      poll(&pf, 1, 100);
    } else {
      throw std::runtime_error("write to the pseudo-terminal failed");
    }
  }
}

std::vector<uint8_t> PtyPair::Read(size_t count, int timeoutMs) {
  std::vector<uint8_t> out;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (out.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0)
      break;
    pollfd pf{master_, POLLIN, 0};
    if (poll(&pf, 1, static_cast<int>(left)) <= 0)
      continue;
    uint8_t buf[4096];
    const ssize_t r = read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (r > 0)
      out.insert(out.end(), buf, buf + r);
    else if (r < 0 && errno != EAGAIN && errno != EINTR)
      usleep(1000); // the port is closed for the moment (EIO): wait for it
  }
  return out;
}

int PtyPair::Pending() const {
  int n = 0;
  ioctl(master_, FIONREAD, &n);
  return n;
}

void PtyPair::StartEcho() {
  if (echo_.joinable())
    return;
  uint64_t v;
  [[maybe_unused]] auto n = read(stopFd_, &v, sizeof v);
  echo_ = std::thread([this] { EchoLoop(); });
}

void PtyPair::StopEcho() {
  if (!echo_.joinable())
    return;
  const uint64_t one = 1;
  [[maybe_unused]] auto n = write(stopFd_, &one, sizeof one);
  echo_.join();
}

void PtyPair::CloseMaster() {
  StopEcho();
  if (master_ >= 0)
    close(master_);
  master_ = -1;
}

void PtyPair::EchoLoop() {
  uint8_t buf[4096];
  for (;;) {
    pollfd p[2] = {{stopFd_, POLLIN, 0}, {master_, POLLIN, 0}};
    if (poll(p, 2, -1) < 0 && errno != EINTR)
      return;
    if (p[0].revents & POLLIN)
      return;
    if (p[1].revents & POLLIN) {
      const ssize_t r = read(master_, buf, sizeof buf);
      if (r > 0)
        Write(buf, static_cast<size_t>(r));
    } else if (p[1].revents & (POLLHUP | POLLERR)) {
      // No one holds the port open right now; do not spin on the hang-up.
      pollfd s{stopFd_, POLLIN, 0};
      if (poll(&s, 1, 2) > 0)
        return;
    }
  }
}

unsigned PtyPair::MasterSpeed() const {
  termios tio{};
  tcgetattr(master_, &tio);
  return cfgetospeed(&tio);
}
