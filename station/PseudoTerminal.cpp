#include "station/PseudoTerminal.h"

#include "station/StationError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
  if (tcsetattr(slave_, TCSANOW, &tio) != 0 || fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
    const int saved = errno;
    Close();
    errno = saved;
    Fail("cannot set raw mode on " + slavePath_);
  }
}

TPseudoTerminal::~TPseudoTerminal() { Close(); }

void TPseudoTerminal::Close() {
  if (master_ >= 0)
    ::close(master_);
  if (slave_ >= 0)
    ::close(slave_);
  master_ = slave_ = -1;
}
