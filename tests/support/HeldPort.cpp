#include "tests/support/HeldPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

THeldPort::THeldPort(const std::string &path, THow how) {
  int ready[2], hold[2];
  if (pipe(ready) != 0)
    return;
  if (pipe(hold) != 0) {
    close(ready[0]);
    close(ready[1]);
    return;
  }
  child_ = fork();
  if (child_ == 0) {
    // Nothing of the parent's but the two pipes: a pseudo-terminal master it inherited would make
    // it the line's far end instead of a holder.
    for (int fd = 3; fd < 1024; ++fd)
      if (fd != ready[1] && fd != hold[0])
        close(fd);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool held =
        fd >= 0 && (how == Plain || (flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0));
    char c = held ? 1 : 0;
    [[maybe_unused]] auto w = write(ready[1], &c, 1);
    [[maybe_unused]] auto r = read(hold[0], &c, 1);
    if (fd >= 0)
      ioctl(fd, TIOCNXCL); // a pseudo-terminal keeps the flag while its far end is open
    _exit(0);
  }
  close(ready[1]);
  close(hold[0]);
  char c = 0;
  held_ = read(ready[0], &c, 1) == 1 && c == 1;
  close(ready[0]);
  release_ = hold[1];
}

void THeldPort::Release() {
  if (release_ >= 0)
    close(release_);
  release_ = -1;
  if (child_ > 0)
    waitpid(child_, nullptr, 0);
  child_ = -1;
}
