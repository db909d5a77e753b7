// One answered byte over a pseudo-terminal with an echo peer: through the dispatcher (put byte,
// echo, poll byte ready, get byte) against raw termios + poll on the same peer, in one run.
// Rounds alternate so that all see the same machine load. Prints medians, p99s and ratios.
//
// The floor: the layer's structure with nothing else in it. The user's thread hands the byte to
// an output thread that writes it; an event thread waits for the line and hands over to a
// dispatch thread that reads it (and hands back, lock-step); the user's thread polls. Bare
// threads, eventfds and poll, the same hand-overs as the dispatcher and no other work.
#include "bench/BenchStats.h"
#include "platform/CommDevice.h"
#include "serial/AwWin32.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <atomic>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Rounds = 10;
constexpr int PerRound = 1000;

bool RawRoundTrip(int fd, uint8_t b) {
  if (write(fd, &b, 1) != 1)
    return false;
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, 5000) != 1)
    return false;
  uint8_t back;
  return read(fd, &back, 1) == 1 && back == b;
}

bool DispatcherRoundTrip(TApdBaseDispatcher &d, uint8_t b) {
  if (d.PutChar(b) != 0)
    return false;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!d.CharReady()) {
    if (Clock::now() > deadline)
      return false;
    std::this_thread::yield();
  }
  uint8_t back;
  return d.GetChar(back) == 0 && back == b;
}

int OpenRaw(const std::string &path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  termios tio;
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  cfsetspeed(&tio, B1200);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

void Signal(int efd) {
  const uint64_t one = 1;
  [[maybe_unused]] auto n = write(efd, &one, sizeof one);
}

// Waits for an eventfd (or the stop fd); false when stopped.
bool WaitFor(int efd, int stop) {
  pollfd p[2] = {{efd, POLLIN, 0}, {stop, POLLIN, 0}};
  while (poll(p, 2, -1) < 0) {
  }
  if (p[1].revents & POLLIN)
    return false;
  uint64_t value;
  [[maybe_unused]] auto n = read(efd, &value, sizeof value);
  return true;
}

// The bare structure: output, event and dispatch threads around one descriptor.
class TBareLayer {
public:
  explicit TBareLayer(const std::string &path) : fd_(OpenRaw(path)) {
    out_ = std::thread([this] {
      while (WaitFor(queued_, stop_)) {
        const uint8_t b = toSend_.load();
        [[maybe_unused]] auto n = write(fd_, &b, 1);
      }
    });
    com_ = std::thread([this] {
      for (;;) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {stop_, POLLIN, 0}};
        if (poll(p, 2, -1) < 0)
          continue;
        if (p[1].revents & POLLIN)
          return;
        Signal(arrived_);
        if (!WaitFor(done_, stop_))
          return;
      }
    });
    disp_ = std::thread([this] {
      while (WaitFor(arrived_, stop_)) {
        uint8_t b;
        if (read(fd_, &b, 1) == 1) {
          got_.store(b);
          ready_.store(true);
        }
        Signal(done_);
      }
    });
  }
  ~TBareLayer() {
    Signal(stop_);
    out_.join();
    com_.join();
    disp_.join();
    for (int fd : {fd_, queued_, arrived_, done_, stop_})
      close(fd);
  }
  bool RoundTrip(uint8_t b) {
    ready_.store(false);
    toSend_.store(b);
    Signal(queued_);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!ready_.load()) {
      if (Clock::now() > deadline)
        return false;
      std::this_thread::yield();
    }
    return got_.load() == b;
  }

private:
  int fd_;
  int queued_ = eventfd(0, EFD_CLOEXEC), arrived_ = eventfd(0, EFD_CLOEXEC), done_ = eventfd(0, EFD_CLOEXEC);
  int stop_ = eventfd(0, EFD_CLOEXEC);
  std::atomic<uint8_t> toSend_{0}, got_{0};
  std::atomic<bool> ready_{false};
  std::thread out_, com_, disp_;
};

} // namespace

int main() {
  TempConfigDir dir;
  PtyPair pty;
  pty.StartEcho();
  dir.LinkCom(1, pty.SlavePath());

  std::vector<double> raw, disp, bare, rawMedians, dispMedians, bareMedians;
  for (int round = 0; round < Rounds; ++round) {
    std::vector<double> r, d, f;
    {
      TBareLayer layer(pty.SlavePath());
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        if (!layer.RoundTrip(static_cast<uint8_t>(i))) {
          std::fprintf(stderr, "bare round trip failed\n");
          return 1;
        }
        f.push_back(Micros(Clock::now() - t0));
      }
    }
    {
      const int fd = OpenRaw(pty.SlavePath());
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        if (!RawRoundTrip(fd, static_cast<uint8_t>(i))) {
          std::fprintf(stderr, "raw round trip failed\n");
          return 1;
        }
        r.push_back(Micros(Clock::now() - t0));
      }
      close(fd);
    }
    {
      TApdWin32Dispatcher port(nullptr);
      if (port.OpenDispatcher(ComPortName(1), 1200, NoParity, 8, 1, 100, 100, true, true) != 0) {
        std::fprintf(stderr, "open failed\n");
        return 1;
      }
      for (int i = 0; i < PerRound; ++i) {
        const auto t0 = Clock::now();
        if (!DispatcherRoundTrip(port, static_cast<uint8_t>(i))) {
          std::fprintf(stderr, "dispatcher round trip failed\n");
          return 1;
        }
        d.push_back(Micros(Clock::now() - t0));
      }
    }
    rawMedians.push_back(Percentile(r, 0.5));
    dispMedians.push_back(Percentile(d, 0.5));
    bareMedians.push_back(Percentile(f, 0.5));
    raw.insert(raw.end(), r.begin(), r.end());
    disp.insert(disp.end(), d.begin(), d.end());
    bare.insert(bare.end(), f.begin(), f.end());
  }
  pty.StopEcho();
  const double rawMed = Percentile(raw, 0.5), dispMed = Percentile(disp, 0.5);
  const double rawP99 = Percentile(raw, 0.99), dispP99 = Percentile(disp, 0.99);
  const double rawRounds = Percentile(rawMedians, 0.5), dispRounds = Percentile(dispMedians, 0.5);
  std::printf("one answered byte, %d round trips each\n", Rounds * PerRound);
  std::printf("raw termios+poll : median %7.1f us  p99 %7.1f us  median of round medians %7.1f us\n", rawMed,
              rawP99, rawRounds);
  std::printf("dispatcher       : median %7.1f us  p99 %7.1f us  median of round medians %7.1f us\n", dispMed,
              dispP99, dispRounds);
  const double bareMed = Percentile(bare, 0.5), bareP99 = Percentile(bare, 0.99),
               bareRounds = Percentile(bareMedians, 0.5);
  std::printf("floor, bare      : median %7.1f us  p99 %7.1f us  median of round medians %7.1f us\n", bareMed,
              bareP99, bareRounds);
  std::printf("ratio            : median %5.2fx  p99 %5.2fx  round medians %5.2fx\n", dispMed / rawMed,
              dispP99 / rawP99, dispRounds / rawRounds);
  std::printf("floor ratio      : median %5.2fx  p99 %5.2fx  round medians %5.2fx  (goal 1.60x)\n",
              bareMed / rawMed, bareP99 / rawP99, bareRounds / rawRounds);
  return 0;
}
