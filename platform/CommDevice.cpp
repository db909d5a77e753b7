#include "platform/CommDevice.h"

#include "platform/CommState.h"
#include "platform/PortHolder.h"
#include "platform/SyncObjects.h"
#include "platform/WindowsDirectory.h"
#include "os/OsError.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <vector>
#include <unistd.h>

namespace {

// Modem-line ioctls fail with ENOTTY (pseudo-terminals) or EINVAL on devices without lines.
bool NoModemLines(int e) { return e == ENOTTY || e == EINVAL; }

void Signal(int fd) {
  const uint64_t one = 1;
  [[maybe_unused]] const auto n = write(fd, &one, sizeof one);
}

bool Drain(int fd) {
  uint64_t v;
  return read(fd, &v, sizeof v) == static_cast<ssize_t>(sizeof v);
}

} // namespace

std::string CommDevicePath(const std::string &name) {
  const std::string prefix = "\\\\.\\";
  std::string rest = name.rfind(prefix, 0) == 0 ? name.substr(prefix.size()) : name;
  const bool isCom = rest.size() > 3 && std::toupper(static_cast<unsigned char>(rest[0])) == 'C' &&
                     std::toupper(static_cast<unsigned char>(rest[1])) == 'O' &&
                     std::toupper(static_cast<unsigned char>(rest[2])) == 'M';
  if (!isCom)
    return name;
  long n = 0;
  for (size_t i = 3; i < rest.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(rest[i])) || n > 99999)
      return {};
    n = n * 10 + (rest[i] - '0');
  }
  if (n < 1)
    return {};
  // The user's own link first, then one an administrator set up for every user of the bench.
  const std::string link = ComLinkPath(static_cast<int>(n));
  std::vector<std::string> links{link};
  for (std::string &counterpart : SystemCounterparts(link))
    links.push_back(std::move(counterpart));
  for (const std::string &candidate : links) {
    struct stat st;
    if (lstat(candidate.c_str(), &st) == 0)
      return candidate;
  }
  return "/dev/ttyS" + std::to_string(n - 1);
}

std::string ComPortName(int number) { return "\\\\.\\COM" + std::to_string(number); }

std::string ComPortPath(int number) { return CommDevicePath(ComPortName(number)); }

std::string ComLinkPath(int number) { return WindowsDirectory() + "/com" + std::to_string(number); }

TCommDevice::TCommDevice(int fd, bool modemLines) : fd_(fd), modemLines_(modemLines) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  txAbortFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

// The device behind "\\.\COMn", opened without touching its line; 0 or the OS error.
int TCommDevice::OpenUnheld(const std::string &name, int &fd) {
  const std::string path = CommDevicePath(name);
  if (path.empty())
    return ErrorFileNotFound;
  // Another program that has the port open must find its line as it left it: look before opening.
  if (FindPortHolder(path))
    return ErrorAccessDenied;
  fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  return fd < 0 ? OsErrorForErrno(errno) : 0;
}

int TCommDevice::Open(const std::string &name, std::unique_ptr<TCommDevice> &device) {
  device.reset();
  int fd = -1;
  if (const int error = OpenUnheld(name, fd))
    return error;
  auto fail = [fd](int error) {
    close(fd);
    return error;
  };
  termios tio;
  // Not a terminal (a regular file, a directory's device node): no such port.
  if (tcgetattr(fd, &tio) != 0)
    return fail(ErrorFileNotFound);
  // The advisory lock is what refuses root and a second open inside this process.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    return fail(errno == EWOULDBLOCK ? ErrorAccessDenied : OsErrorForErrno(errno));
  // An exclusivity flag left set while nobody holds the lock or the device is stale (its owner
  // was killed while the far end kept the line): we set it again as our own below.
  if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)
    return fail(OsErrorForErrno(errno));
  int bits = 0;
  const bool modemLines = ioctl(fd, TIOCMGET, &bits) == 0;
  std::unique_ptr<TCommDevice> d(new TCommDevice(fd, modemLines));
  if (d->wakeFd_ < 0 || d->txAbortFd_ < 0)
    return ErrorTooManyOpenFiles; // the destructor closes what was made
  d->RequestLowLatency();
  // Raw, non-blocking reads: VMIN 1 so that read() 0 means hang-up and an empty queue EAGAIN.
  cfmakeraw(&tio);
  tio.c_cflag |= CREAD | CLOCAL;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0)
    return OsErrorForErrno(errno);
  d->shadow_.Flags = dcbBinary;
  SetDtrControl(d->shadow_, DtrControlEnable);
  SetRtsControl(d->shadow_, RtsControlEnable);
  d->lastModem_ = modemLines ? static_cast<uint32_t>(bits) : 0;
  device = std::move(d);
  return 0;
}

int TCommDevice::Probe(const std::string &name) {
  int fd = -1;
  if (const int error = OpenUnheld(name, fd))
    return error;
  // Looks only: no line setting, no flag of ours is left on the port.
  termios tio;
  int result = 0;
  if (tcgetattr(fd, &tio) != 0)
    result = ErrorFileNotFound;
  else if (flock(fd, LOCK_SH | LOCK_NB) != 0)
    result = errno == EWOULDBLOCK ? ErrorAccessDenied : OsErrorForErrno(errno);
  close(fd);
  return result;
}

// Adapters that hold received bytes for a latency timer (16 ms on common USB chips) would add
// that to every answered exchange; a request/answer protocol wants each byte passed on at once.
void TCommDevice::RequestLowLatency() {
  serial_struct info{};
  if (SerialInfoIoctl()(fd_, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY))
    return;
  savedSerialFlags_ = info.flags;
  info.flags |= ASYNC_LOW_LATENCY;
  if (SerialInfoIoctl()(fd_, TIOCSSERIAL, &info) != 0)
    savedSerialFlags_ = -1; // the driver refused: used as it is
}

void TCommDevice::RestoreLatency() {
  if (savedSerialFlags_ < 0)
    return;
  serial_struct info{};
  if (SerialInfoIoctl()(fd_, TIOCGSERIAL, &info) == 0) {
    info.flags = savedSerialFlags_;
    SerialInfoIoctl()(fd_, TIOCSSERIAL, &info);
  }
  savedSerialFlags_ = -1;
}

TSerialInfoIoctl &SerialInfoIoctl() {
  static TSerialInfoIoctl call = [](int fd, unsigned long request, serial_struct *info) {
    return ioctl(fd, request, info);
  };
  return call;
}

TCommDevice::~TCommDevice() {
  if (fd_ >= 0) {
    RestoreLatency();
    ioctl(fd_, TIOCNXCL);
    close(fd_);
  }
  if (wakeFd_ >= 0)
    close(wakeFd_);
  if (txAbortFd_ >= 0)
    close(txAbortFd_);
}

void TCommDevice::MarkLost() { lost_.store(true); }

int TCommDevice::GetState(TDcb &dcb) {
  termios tio;
  if (tcgetattr(fd_, &tio) != 0) {
    // A device that went away keeps the settings it was last given, until it is closed.
    if (!lost_.load())
      return OsErrorForErrno(errno);
    dcb = shadow_;
    return 0;
  }
  dcb = CommState::StateOf(tio, shadow_, appliedFraming_);
  return 0;
}

namespace {

int ApplyTermios(int fd, const termios &tio, speed_t speed) {
  if (tcsetattr(fd, TCSANOW, &tio) == 0)
    return 0;
  // A pseudo-terminal keeps no byte size or parity and the C library reports that as EINVAL
  // although everything else was applied: accept it when the rest took effect.
  const int e = errno;
  termios now;
  if (e != EINVAL || tcgetattr(fd, &now) != 0 || cfgetospeed(&now) != speed ||
      (now.c_cflag & (CSTOPB | CRTSCTS)) != (tio.c_cflag & (CSTOPB | CRTSCTS)))
    return OsErrorForErrno(e);
  return 0;
}

} // namespace

int TCommDevice::SetState(const TDcb &dcb) {
  speed_t speed;
  if (!CommState::SpeedFor(dcb.BaudRate, speed) || !CommState::ValidFraming(dcb))
    return ErrorInvalidParameter;
  if (lost_.load()) {
    shadow_ = dcb;
    return 0;
  }
  termios tio;
  if (tcgetattr(fd_, &tio) != 0)
    return OsErrorForErrno(errno);
  CommState::TermiosFor(dcb, speed, tio);
  if (const int error = ApplyTermios(fd_, tio, speed))
    return error;
  shadow_ = dcb;
  if (tcgetattr(fd_, &tio) == 0)
    appliedFraming_ = tio.c_cflag & CommState::FramingBits;
  if (DtrControl(dcb) != DtrControlHandshake)
    ApplyModemLine(TIOCM_DTR, DtrControl(dcb) == DtrControlEnable);
  if (RtsControl(dcb) == RtsControlEnable || RtsControl(dcb) == RtsControlDisable)
    ApplyModemLine(TIOCM_RTS, RtsControl(dcb) == RtsControlEnable);
  return 0;
}

int TCommDevice::ApplyModemLine(int bit, bool on) {
  if (!modemLines_)
    return 0;
  if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !NoModemLines(errno))
    return OsErrorForErrno(errno);
  return 0;
}

int TCommDevice::Escape(int function) {
  switch (function) {
  case EscSetDtr:
    return ApplyModemLine(TIOCM_DTR, true);
  case EscClrDtr:
    return ApplyModemLine(TIOCM_DTR, false);
  case EscSetRts:
    return ApplyModemLine(TIOCM_RTS, true);
  case EscClrRts:
    return ApplyModemLine(TIOCM_RTS, false);
  default:
    return ErrorInvalidParameter;
  }
}

// The kernel's queues have fixed sizes; the request is accepted.
int TCommDevice::SetupQueues(uint32_t, uint32_t) { return 0; }

int TCommDevice::Purge(uint32_t flags) {
  if (flags & ~(PurgeTxAbort | PurgeRxAbort | PurgeTxClear | PurgeRxClear))
    return ErrorInvalidParameter;
  if ((flags & PurgeTxAbort) && writing_.load())
    Signal(txAbortFd_);
  int queue = -1;
  if ((flags & PurgeRxClear) && (flags & PurgeTxClear))
    queue = TCIOFLUSH;
  else if (flags & PurgeRxClear)
    queue = TCIFLUSH;
  else if (flags & PurgeTxClear)
    queue = TCOFLUSH;
  if (flags & (PurgeRxAbort | PurgeRxClear))
    Signal(wakeFd_);
  // A device that went away has nothing left to discard.
  if (queue >= 0 && !lost_.load() && tcflush(fd_, queue) != 0) {
    if (errno != EIO)
      return OsErrorForErrno(errno);
    MarkLost();
  }
  return 0;
}

uint32_t TCommDevice::QueuedInput() const {
  int n = 0;
  if (ioctl(fd_, FIONREAD, &n) != 0 || n < 0)
    return 0;
  return static_cast<uint32_t>(n);
}

int TCommDevice::ClearError(uint32_t &errors, TComStat &stat, bool countOutput) {
  errors = 0;
  stat = TComStat{};
  if (lost_.load())
    return ErrorGenFailure;
  int n = 0;
  if (ioctl(fd_, FIONREAD, &n) != 0)
    return OsErrorForErrno(errno);
  stat.cbInQue = n > 0 ? static_cast<uint32_t>(n) : 0;
  if (countOutput && ioctl(fd_, TIOCOUTQ, &n) == 0 && n > 0)
    stat.cbOutQue = static_cast<uint32_t>(n);
  if (modemLines_) {
    serial_icounter_struct ic{};
    std::lock_guard<std::mutex> guard(countsLock_);
    if (ioctl(fd_, TIOCGICOUNT, &ic) == 0) {
      if (haveCounts_) {
        if (ic.frame != lastCounts_.frame)
          errors |= CeFrame;
        if (ic.overrun != lastCounts_.overrun)
          errors |= CeOverrun;
        if (ic.parity != lastCounts_.parity)
          errors |= CeRxParity;
        if (ic.brk != lastCounts_.brk)
          errors |= CeBreak;
        if (ic.buf_overrun != lastCounts_.bufOverrun)
          errors |= CeRxOver;
      }
      lastCounts_ = {ic.frame, ic.overrun, ic.parity, ic.brk, ic.buf_overrun};
      haveCounts_ = true;
    }
  }
  return 0;
}

int TCommDevice::GetModemStatus(uint32_t &status) {
  status = 0;
  if (!modemLines_)
    return 0;
  int bits = 0;
  if (ioctl(fd_, TIOCMGET, &bits) != 0)
    return NoModemLines(errno) ? 0 : OsErrorForErrno(errno);
  if (bits & TIOCM_CTS)
    status |= MsCtsOn;
  if (bits & TIOCM_DSR)
    status |= MsDsrOn;
  if (bits & TIOCM_RNG)
    status |= MsRingOn;
  if (bits & TIOCM_CD)
    status |= MsRlsdOn;
  return 0;
}

int TCommDevice::SetMask(uint32_t mask) {
  mask_.store(mask);
  if (mask == 0 || waiting_.load())
    Signal(wakeFd_);
  return 0;
}

namespace {

// The modem lines give no wake-up of their own: they are looked at this often while watched.
constexpr int ModemPollMs = 100;
// How often a waiting backlog is looked at for growth.
constexpr int BacklogPollMs = 10;

// The events of the modem lines that changed from `last` to `bits`.
uint32_t ModemChanges(uint32_t last, uint32_t bits) {
  const uint32_t changed = bits ^ last;
  uint32_t events = 0;
  if (changed & TIOCM_CTS)
    events |= EvCts;
  if (changed & TIOCM_DSR)
    events |= EvDsr;
  if (changed & TIOCM_CD)
    events |= EvRlsd;
  if (changed & TIOCM_RNG)
    events |= (bits & TIOCM_RNG) ? EvRing : EvRingTe;
  return events;
}

// Sets a flag for as long as it lives.
struct TScopedFlag {
  std::atomic<bool> &Flag;
  explicit TScopedFlag(std::atomic<bool> &flag) : Flag(flag) { Flag.store(true); }
  ~TScopedFlag() { Flag.store(false); }
};

} // namespace

int TCommDevice::WaitEvent(uint32_t &events) {
  events = 0;
  if (lost_.load())
    return ErrorGenFailure;
  TScopedFlag waiting(waiting_);
  TBacklog backlog;
  for (;;) {
    const uint32_t mask = mask_.load();
    WatchBacklog(mask, backlog);
    const bool watchModem = modemLines_ && (mask & EvModemLines);
    pollfd p[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
    if ((mask & EvRxChar) && !backlog.Watching)
      p[1].events = POLLIN;
    const int r = poll(p, 2, backlog.Watching ? BacklogPollMs : watchModem ? ModemPollMs : -1);
    if (r < 0) {
      if (errno == EINTR)
        continue;
      return OsErrorForErrno(errno);
    }
    if (WaitOutcome(p[0].revents, p[1].revents, mask, backlog, watchModem, events))
      return 0;
  }
}

// Bytes reported before and not taken since (the reader's buffer is full) would keep a
// level-triggered poll firing: watch the queue's growth instead until someone reads.
void TCommDevice::WatchBacklog(uint32_t mask, TBacklog &backlog) {
  if (backlog.Watching)
    return;
  const uint32_t queued = (mask & EvRxChar) ? QueuedInput() : 0;
  if (queued > 0 && reportedUnread_.load()) {
    backlog.Watching = true;
    backlog.Level = queued;
  }
}

// True when the backlog grew, or was read, since it was reported: that is new data to report.
bool TCommDevice::BacklogMoved(TBacklog &backlog) {
  const uint32_t queued = QueuedInput();
  if (queued == 0) {
    backlog.Watching = false;
    return false;
  }
  if (queued > backlog.Level || !reportedUnread_.load()) {
    reportedUnread_.store(true);
    return true;
  }
  return false;
}

// What one poll found; true when the wait ends with `events` (none for a wake-up).
bool TCommDevice::WaitOutcome(short wake, short line, uint32_t mask, TBacklog &backlog, bool watchModem,
                              uint32_t &events) {
  if (wake & POLLIN) {
    Drain(wakeFd_);
    return true;
  }
  if (line & (POLLHUP | POLLERR | POLLNVAL)) {
    MarkLost();
    events = mask & EvErr;
    return true;
  }
  if (line & POLLIN) {
    reportedUnread_.store(true);
    events = EvRxChar;
    return true;
  }
  if (backlog.Watching && BacklogMoved(backlog)) {
    events = EvRxChar;
    return true;
  }
  if (!watchModem)
    return false;
  int bits = 0;
  if (ioctl(fd_, TIOCMGET, &bits) != 0)
    return false;
  events = ModemChanges(lastModem_, static_cast<uint32_t>(bits)) & mask;
  lastModem_ = static_cast<uint32_t>(bits);
  return events != 0;
}

int TCommDevice::Read(void *buffer, size_t count, size_t &got) {
  got = 0;
  reportedUnread_.store(false);
  if (count == 0)
    return 0;
  if (lost_.load())
    return ErrorGenFailure;
  const ssize_t r = read(fd_, buffer, count);
  if (r > 0) {
    got = static_cast<size_t>(r);
    return 0;
  }
  if (r < 0 && (errno == EAGAIN || errno == EINTR))
    return 0;
  // read() 0 with VMIN 1 is a hang-up; EIO is what a pseudo-terminal gives after its peer went.
  MarkLost();
  return ErrorGenFailure;
}

int TCommDevice::Write(const void *buffer, size_t count, size_t &written, TEvent *abandon) {
  written = 0;
  if (lost_.load())
    return ErrorGenFailure;
  writing_.store(true);
  Drain(txAbortFd_);
  struct Done {
    std::atomic<bool> &f;
    ~Done() { f.store(false); }
  } done{writing_};
  const auto *bytes = static_cast<const uint8_t *>(buffer);
  while (written < count) {
    const ssize_t w = write(fd_, bytes + written, count - written);
    if (w > 0) {
      written += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR)
      continue;
    if (w < 0 && errno != EAGAIN) {
      MarkLost();
      return ErrorGenFailure;
    }
    pollfd p[3] = {{fd_, POLLOUT, 0}, {txAbortFd_, POLLIN, 0}, {abandon ? abandon->Fd() : -1, POLLIN, 0}};
    const int r = poll(p, 3, -1);
    if (r < 0) {
      if (errno == EINTR)
        continue;
      return OsErrorForErrno(errno);
    }
    if ((p[2].revents & POLLIN) && abandon->Claim())
      return ErrorOperationAborted;
    if ((p[1].revents & POLLIN) && Drain(txAbortFd_))
      return ErrorOperationAborted;
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      MarkLost();
      return ErrorGenFailure;
    }
  }
  return 0;
}
