#pragma once
// The reference of the link benchmarks: a bare termios client on the same pseudo-terminal as the
// tool, sending the same bytes with nothing between it and the line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

class TRawClient {
public:
  explicit TRawClient(const std::string &device) : fd_(open(device.c_str(), O_RDWR | O_NOCTTY)) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B1200);
    tcsetattr(fd_, TCSANOW, &t);
    Flush();
  }
  ~TRawClient() { close(fd_); }
  TRawClient(const TRawClient &) = delete;
  TRawClient &operator=(const TRawClient &) = delete;

  void Flush() { tcflush(fd_, TCIOFLUSH); }
  void Send(uint8_t byte) { (void)!write(fd_, &byte, 1); }
  uint8_t Receive() {
    pollfd p{fd_, POLLIN, 0};
    uint8_t in = 0;
    if (poll(&p, 1, 1000) != 1 || read(fd_, &in, 1) != 1) {
      std::fprintf(stderr, "raw client got no answer\n");
      std::exit(1);
    }
    return in;
  }
  uint8_t Answered(uint8_t byte) {
    Send(byte);
    return Receive();
  }

private:
  int fd_;
};
