#include "station/PseudoTerminal.h"

#include "station/StationError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string &what) {
  throw TStationError("kstune-station: " + what + ": " + std::strerror(errno));
}

} // namespace

TPseudoTerminal::TPseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0)
    Fail("cannot open a pseudo-terminal");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    Fail("cannot prepare the pseudo-terminal");
  }
  slavePath_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  termios tio{};
  // Raw from the start: no echo back into the master, no line editing, and no byte (3, 17, 19, 13 …)
  // taken as a signal, flow control or line end before a client sets its own modes.
  if (slave_ < 0 || tcgetattr(slave_, &tio) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    Fail("cannot open " + slavePath_);
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&tio, B1200);
  cfsetospeed(&tio, B1200);
  if (tcsetattr(slave_, TCSANOW, &tio) != 0 ||
      fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    Fail("cannot set raw mode on " + slavePath_);
  }
  // Set up after our own open of the slave, so only clients are counted.
  watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && inotify_add_watch(watch_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
    ::close(watch_);
    watch_ = -1;
  }
}

bool TPseudoTerminal::TakeWatchEvents() {
  bool emptied = false;
  alignas(inotify_event) char buffer[4096];
  while (watch_ >= 0) {
    const ssize_t n = ::read(watch_, buffer, sizeof buffer);
    if (n <= 0)
      break;
    for (ssize_t at = 0; at < n;) {
      const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
      if (event->mask & IN_OPEN)
        ++clients_;
      if ((event->mask & IN_CLOSE) && clients_ > 0 && --clients_ == 0)
        emptied = true;
      if (event->mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
        // Lost count: stop guessing and behave as if a client were always there.
        ::close(watch_);
        watch_ = -1;
        break;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return emptied;
}

void TPseudoTerminal::DiscardUnread() {
  if (slave_ >= 0)
    tcflush(slave_, TCIFLUSH);
}

std::string TPseudoTerminal::ClientLine() const {
  termios tio{};
  if (slave_ < 0 || tcgetattr(slave_, &tio) != 0)
    return {};
  static constexpr struct {
    speed_t code;
    int baud;
  } speeds[] = {{B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
                {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
                {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
                {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  const auto baudOf = [](speed_t code) {
    for (const auto &s : speeds)
      if (s.code == code)
        return std::to_string(s.baud);
    return std::string("?");
  };
  static constexpr char sizes[] = {'5', '6', '7', '8'};
  const char bits = sizes[(tio.c_cflag & CSIZE) == CS5   ? 0
                          : (tio.c_cflag & CSIZE) == CS6 ? 1
                          : (tio.c_cflag & CSIZE) == CS7 ? 2
                                                         : 3];
  const char parity = !(tio.c_cflag & PARENB) ? 'N' : (tio.c_cflag & PARODD) ? 'O' : 'E';
  const char stop = (tio.c_cflag & CSTOPB) ? '2' : '1';
  const std::string in = baudOf(cfgetispeed(&tio)), out = baudOf(cfgetospeed(&tio));
  std::string line = (in == out ? out : out + "/" + in) + " " + bits + parity + stop;
  return line == "1200 8N1" ? std::string() : line;
}

termios TPseudoTerminal::ClientTermios() const {
  termios tio{};
  if (slave_ >= 0)
    tcgetattr(slave_, &tio);
  return tio;
}

bool TPseudoTerminal::ClearExclusive() {
  int exclusive = 0;
  if (slave_ < 0 || ioctl(slave_, TIOCGEXCL, &exclusive) != 0 || !exclusive)
    return false;
  return ioctl(slave_, TIOCNXCL) == 0;
}

TPseudoTerminal::~TPseudoTerminal() { Close(); }

void TPseudoTerminal::Close() {
  if (watch_ >= 0)
    ::close(watch_);
  watch_ = -1;
  if (master_ >= 0)
    ::close(master_);
  if (slave_ >= 0)
    ::close(slave_);
  master_ = slave_ = -1;
}
