#pragma once
// A plain termios client on the station's slave side, as the serial layer will be: raw mode, no
// flow control, reads with a time-out.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class TStationClient {
public:
  // flush: drop what waits in the input, as the serial layer's open does; off to see what the
  // station itself left there.
  explicit TStationClient(const std::string &path, bool flush = true) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
      return;
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
    if (flush)
      tcflush(fd_, TCIFLUSH);
  }
  ~TStationClient() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  TStationClient(const TStationClient &) = delete;
  TStationClient &operator=(const TStationClient &) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // Puts the client's line at this speed and stop bits (raw, 8 data bits, no parity otherwise).
  void SetLine(speed_t speed, bool twoStopBits) {
    termios tio{};
    tcgetattr(fd_, &tio);
    cfsetspeed(&tio, speed);
    tio.c_cflag = twoStopBits ? (tio.c_cflag | CSTOPB) : (tio.c_cflag & ~CSTOPB);
    tcsetattr(fd_, TCSANOW, &tio);
  }

  void Write(const Bytes &bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Up to n bytes, as many as arrive before the time-out.
  Bytes Read(std::size_t n, std::chrono::milliseconds timeout = 2s) {
    Bytes out;
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (out.size() < n) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
        break;
      std::uint8_t buffer[256];
      const ssize_t got = ::read(fd_, buffer, std::min(sizeof buffer, n - out.size()));
      if (got <= 0) {
        hungUp_ = got < 0 && errno == EIO;
        break;
      }
      out.insert(out.end(), buffer, buffer + got);
    }
    return out;
  }

  // Stop and wait: each byte sent only after the answers to the one before, as the tool does.
  Bytes Exchange(const Bytes &bytes, std::size_t answersPerByte = 1, std::chrono::milliseconds timeout = 2s) {
    Bytes out;
    for (const auto b : bytes) {
      Write({b});
      const auto got = Read(answersPerByte, timeout);
      out.insert(out.end(), got.begin(), got.end());
    }
    return out;
  }

  // True when nothing at all arrives within the time.
  bool Quiet(std::chrono::milliseconds time) { return Read(1, time).empty() && !hungUp_; }

  // Read until the line reports a hang-up.
  bool SeesHangUp(std::chrono::milliseconds timeout = 2s) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
      return false;
    std::uint8_t b;
    return (p.revents & POLLHUP) || (::read(fd_, &b, 1) < 0 && errno == EIO);
  }

private:
  int fd_ = -1;
  bool hungUp_ = false;
};
