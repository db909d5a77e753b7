// The comm device over termios: names, line state, the event wait, interruptible writes and
// hang-ups, on pseudo-terminals.
#include "platform/CommDevice.h"
#include "platform/PortHolder.h"
#include "platform/SyncObjects.h"
#include "tests/support/HeldPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Spawn.h"
#include "tests/support/TempConfigDir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(CommDevice, ComNamesLeadToTheirLinkOrSerialDeviceAndOtherNamesArePaths) {
  TempConfigDir dir;
  const auto link = dir.LinkCom(3, "/nonexistent");
  struct Case {
    std::string name, path;
  } cases[] = {
      {"\\\\.\\COM3", link.string()}, // a link of the stand-in directory, dangling or not
      {"\\\\.\\com3", link.string()},
      {"\\\\.\\COM4", "/dev/ttyS3"}, // no link: the serial port of that number
      {"\\\\.\\COM0", ""},
      {"\\\\.\\COMx", ""},
      {"\\\\.\\COM", "\\\\.\\COM"}, // not a COM name: taken as a path
      {"/tmp/some-device", "/tmp/some-device"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(CommDevicePath(c.name), c.path) << c.name;
}

TEST(CommDevice, OpenIsExclusive) {
  PtyPair pty;
  std::unique_ptr<TCommDevice> first, second;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), first), 0);
  EXPECT_EQ(TCommDevice::Open(pty.SlavePath(), second), ErrorAccessDenied);
  EXPECT_EQ(second, nullptr);
  first.reset();
  EXPECT_EQ(TCommDevice::Open(pty.SlavePath(), second), 0);
}

// The open result of a user who may not use the device: not "held by someone else".
TEST(CommDevice, PermissionRefusedIsNotAccessDenied) {
  TempConfigDir dir;
  if (geteuid() != 0) {
    // An ordinary user is the refused one already: a file it may not open, and a directory.
    const auto locked = dir.WriteFile("locked", "x");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    for (const auto &[name, expected] :
         {std::pair{locked.string(), ErrorInvalidAccess}, {"/", ErrorFileNotFound}}) {
      std::unique_ptr<TCommDevice> dev;
      EXPECT_EQ(TCommDevice::Open(name, dev), expected) << name;
    }
    return;
  }
  PtyPair pty; // its slave belongs to root, group tty, mode 620
  struct Case {
    std::string name;
    int expected;
  } cases[] = {
      {pty.SlavePath(), ErrorInvalidAccess},
      {dir.WriteFile("plain", "x").string(), ErrorInvalidAccess}, // in a directory only root may enter
      {"/", ErrorFileNotFound},                                   // a directory is no port
  };
  for (const auto &c : cases) {
    const auto error = InForkedChild([&] {
      if (setgid(65534) != 0 || setuid(65534) != 0)
        return std::string("cannot drop privileges here");
      std::unique_ptr<TCommDevice> dev;
      return std::to_string(TCommDevice::Open(c.name, dev));
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, std::to_string(c.expected)) << c.name;
  }
}

TEST(CommDevice, LineSettingsReachTheLineAndImpossibleOnesAreRefused) {
  PtyPair pty;
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  struct Case {
    uint32_t baud;
    uint8_t size, parity, stop;
    int error;
    speed_t speed;
  } cases[] = {
      {1200, 8, NoParity, OneStopBit, 0, B1200},
      {9600, 7, EvenParity, TwoStopBits, 0, B9600},
      {115200, 6, OddParity, OneStopBit, 0, B115200},
      {2400, 5, MarkParity, One5StopBits, 0, B2400},
      {4800, 8, SpaceParity, TwoStopBits, 0, B4800},
      {1234, 8, NoParity, OneStopBit, ErrorInvalidParameter, B4800},   // no such rate
      {1200, 9, NoParity, OneStopBit, ErrorInvalidParameter, B4800},   // no such size
      {1200, 8, 7, OneStopBit, ErrorInvalidParameter, B4800},          // no such parity
      {1200, 8, NoParity, One5StopBits, ErrorInvalidParameter, B4800}, // 1.5 needs 5 bits
      {1200, 5, NoParity, TwoStopBits, ErrorInvalidParameter, B4800},  // and 5 bits no 2
  };
  for (const auto &c : cases) {
    TDcb dcb;
    ASSERT_EQ(dev->GetState(dcb), 0);
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.size;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stop;
    EXPECT_EQ(dev->SetState(dcb), c.error) << c.baud << " " << int(c.size);
    EXPECT_EQ(pty.MasterSpeed(), c.speed) << c.baud;
    if (c.error)
      continue;
    TDcb back;
    ASSERT_EQ(dev->GetState(back), 0);
    EXPECT_EQ(back.BaudRate, c.baud);
    EXPECT_EQ(back.ByteSize, c.size);
    EXPECT_EQ(back.Parity, c.parity);
    EXPECT_EQ(back.StopBits, c.stop);
  }
  // A pseudo-terminal has no modem lines: that is no failure.
  uint32_t status = 1;
  EXPECT_EQ(dev->GetModemStatus(status), 0);
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(dev->Escape(EscSetDtr), 0);
  EXPECT_EQ(dev->Escape(EscClrRts), 0);
}

TEST(CommDevice, EachArrivalIsReportedOnce) {
  PtyPair pty;
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  dev->SetMask(EvRxChar | EvErr);
  pty.Write("a", 1);
  uint32_t events = 0;
  ASSERT_EQ(dev->WaitEvent(events), 0);
  EXPECT_EQ(events, EvRxChar);
  // The byte is still unread: the next wait must not report it again ...
  auto next = std::async(std::launch::async, [&] {
    uint32_t ev = 0;
    const int r = dev->WaitEvent(ev);
    return std::make_pair(r, ev);
  });
  EXPECT_EQ(next.wait_for(200ms), std::future_status::timeout);
  // ... but a new byte is.
  pty.Write("b", 1);
  ASSERT_EQ(next.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(next.get(), std::make_pair(0, EvRxChar));
  char buf[8];
  size_t got = 0;
  ASSERT_EQ(dev->Read(buf, sizeof buf, got), 0);
  EXPECT_EQ(std::string(buf, got), "ab");
  ASSERT_EQ(dev->Read(buf, sizeof buf, got), 0);
  EXPECT_EQ(got, 0u);
}

TEST(CommDevice, SetMaskAndPurgeInterruptAWait) {
  PtyPair pty;
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  dev->SetMask(EvRxChar);
  for (auto interrupt :
       {+[](TCommDevice &d) { d.SetMask(0); }, +[](TCommDevice &d) { d.Purge(PurgeRxAbort); }}) {
    auto wait = std::async(std::launch::async, [&] {
      uint32_t ev = 99;
      const int r = dev->WaitEvent(ev);
      return std::make_pair(r, ev);
    });
    std::this_thread::sleep_for(50ms);
    interrupt(*dev);
    ASSERT_EQ(wait.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(wait.get(), std::make_pair(0, 0u));
    dev->SetMask(EvRxChar);
  }
}

TEST(CommDevice, AbandonedWriteReturnsAborted) {
  PtyPair pty; // the far end never reads: the kernel's buffer fills
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  TEvent abandon(false);
  const std::vector<uint8_t> big(1 << 20, 0x55);
  for (bool viaPurge : {false, true}) {
    auto write = std::async(std::launch::async, [&] {
      size_t written = 0;
      const int r = dev->Write(big.data(), big.size(), written, &abandon);
      return std::make_pair(r, written);
    });
    EXPECT_EQ(write.wait_for(200ms), std::future_status::timeout);
    if (viaPurge)
      dev->Purge(PurgeTxAbort | PurgeTxClear);
    else
      abandon.Set();
    ASSERT_EQ(write.wait_for(10s), std::future_status::ready);
    const auto [result, written] = write.get();
    EXPECT_EQ(result, ErrorOperationAborted);
    EXPECT_LT(written, big.size());
    EXPECT_FALSE(abandon.IsSignalled());
  }
}

TEST(CommDevice, HangUpMarksTheDeviceLost) {
  PtyPair pty;
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  dev->SetMask(EvRxChar | EvErr);
  pty.CloseMaster();
  uint32_t events = 0;
  ASSERT_EQ(dev->WaitEvent(events), 0);
  EXPECT_EQ(events, EvErr);
  EXPECT_TRUE(dev->Lost());
  EXPECT_EQ(dev->WaitEvent(events), ErrorGenFailure); // no second wait on a dead device
  char c;
  size_t n;
  EXPECT_EQ(dev->Read(&c, 1, n), ErrorGenFailure);
  EXPECT_EQ(dev->Write(&c, 1, n, nullptr), ErrorGenFailure);
  uint32_t errors;
  TComStat stat;
  EXPECT_EQ(dev->ClearError(errors, stat), ErrorGenFailure);
  // Purges and line settings of a device that went away have nothing to act on: no failure, so
  // that the user hears of the lost link from the missing answer only.
  EXPECT_EQ(dev->Purge(PurgeRxAbort | PurgeRxClear | PurgeTxAbort | PurgeTxClear), 0);
  TDcb dcb;
  ASSERT_EQ(dev->GetState(dcb), 0);
  dcb.BaudRate = 9600;
  EXPECT_EQ(dev->SetState(dcb), 0);
  ASSERT_EQ(dev->GetState(dcb), 0);
  EXPECT_EQ(dcb.BaudRate, 9600u);
}

// The slave's line as another program left it: cooked, 9600 baud.
termios CookedLine(const std::string &path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios tio{};
  tcgetattr(fd, &tio);
  tio.c_lflag |= ICANON | ECHO;
  cfsetspeed(&tio, B9600);
  tcsetattr(fd, TCSANOW, &tio);
  tcgetattr(fd, &tio);
  close(fd);
  return tio;
}

bool SameLine(const termios &a, const termios &b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag;
}

// The slave's line as the far end reads it: a new open of the slave may be refused as exclusive.
termios LineOf(const PtyPair &pty) {
  termios tio{};
  tcgetattr(pty.Master(), &tio);
  return tio;
}

// Another program holds the port: by our lock, by a plain open, or by a UUCP lock file. The open
// and the probe refuse it as access denied and leave its line exactly as it was.
TEST(CommDevice, HeldPortIsRefusedAndItsLineLeftAlone) {
  TempConfigDir dir;
  const auto lockDir = dir.Root() / "lock";
  std::filesystem::create_directories(lockDir);
  const std::string savedLockDir = UucpLockDirectory();
  UucpLockDirectory() = lockDir.string();
  struct Case {
    const char *name;
    std::function<pid_t(const std::string &path, std::unique_ptr<THeldPort> &holder)> hold;
    int expected;
  } cases[] = {
      {"locked by a program like us",
       [](const std::string &path, std::unique_ptr<THeldPort> &h) {
         h = std::make_unique<THeldPort>(path, THeldPort::Locked);
         return h->Pid();
       },
       ErrorAccessDenied},
      {"opened plainly by a serial terminal",
       [](const std::string &path, std::unique_ptr<THeldPort> &h) {
         h = std::make_unique<THeldPort>(path, THeldPort::Plain);
         return h->Pid();
       },
       ErrorAccessDenied},
      {"named by a lock file of a living process",
       [&](const std::string &path, std::unique_ptr<THeldPort> &) {
         const pid_t parent = getppid(); // alive, and not us
         std::ofstream(lockDir / ("LCK.." + path.substr(path.rfind('/') + 1))) << "      " << parent << "\n";
         return parent;
       },
       ErrorAccessDenied},
      {"named by a short text pid", // 4 bytes of text, not to be read as a binary int
       [&](const std::string &path, std::unique_ptr<THeldPort> &) {
         std::ofstream(lockDir / ("LCK.." + path.substr(path.rfind('/') + 1))) << "1\n";
         return pid_t{1};
       },
       ErrorAccessDenied},
      {"named by a binary pid",
       [&](const std::string &path, std::unique_ptr<THeldPort> &) {
         const pid_t parent = getppid();
         std::ofstream(lockDir / ("LCK.." + path.substr(path.rfind('/') + 1)), std::ios::binary)
             .write(reinterpret_cast<const char *>(&parent), sizeof parent);
         return parent;
       },
       ErrorAccessDenied},
      {"named by a stale lock file",
       [&](const std::string &path, std::unique_ptr<THeldPort> &) {
         // "pts_3": the path below /dev, slashes replaced; a pid beyond any pid_max
         std::ofstream(lockDir / ("LCK..pts_" + path.substr(path.rfind('/') + 1))) << "4194304\n";
         return pid_t{0};
       },
       0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    PtyPair pty;
    const termios before = CookedLine(pty.SlavePath());
    std::unique_ptr<THeldPort> holder;
    const pid_t pid = c.hold(pty.SlavePath(), holder);
    const auto found = FindPortHolder(pty.SlavePath());
    EXPECT_EQ(found ? found->Pid : 0, pid);
    std::unique_ptr<TCommDevice> dev;
    EXPECT_EQ(TCommDevice::Probe(pty.SlavePath()), c.expected);
    EXPECT_TRUE(SameLine(LineOf(pty), before)) << "the probe changed nothing";
    EXPECT_EQ(TCommDevice::Open(pty.SlavePath(), dev), c.expected);
    if (c.expected != 0) {
      EXPECT_TRUE(SameLine(LineOf(pty), before));
    }
    std::filesystem::remove_all(lockDir);
    std::filesystem::create_directories(lockDir);
  }
  UucpLockDirectory() = savedLockDir;
}

// A process holding the master of a pseudo-terminal is the line itself, not a holder, even when
// it keeps the slave open too (as the simulated station does).
TEST(CommDevice, TheFarEndIsNoHolder) {
  PtyPair pty;
  const pid_t child = fork();
  if (child == 0) {
    const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    pause();
    _exit(slave);
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_FALSE(FindPortHolder(pty.SlavePath()).has_value());
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

// A kstune killed while connected leaves the exclusivity flag on a line whose far end lives on.
TEST(CommDevice, StaleExclusivityFlagIsNoHolder) {
  if (geteuid() != 0)
    GTEST_SKIP()
        << "only root can open past the flag; for other users the station clears it (StationLinkTest)";
  PtyPair pty;
  const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
  close(fd);
  std::unique_ptr<TCommDevice> dev;
  ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
  dev.reset();
  int excl = 1;
  const int probe = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(ioctl(probe, TIOCGEXCL, &excl), 0);
  close(probe);
  EXPECT_EQ(excl, 0) << "closed ports carry no flag";
}

// A driver that knows the low-latency flag, played through the seam: no device here has one.
struct TFakeDriver {
  int flags = 0;
  int getResult = 0, setResult = 0;
  std::vector<int> setCalls;
};
TFakeDriver *fakeDriver = nullptr;

int FakeSerialIoctl(int, unsigned long request, serial_struct *info) {
  if (request == TIOCGSERIAL) {
    info->flags = fakeDriver->flags;
    return fakeDriver->getResult;
  }
  if (fakeDriver->setResult != 0)
    return fakeDriver->setResult;
  fakeDriver->setCalls.push_back(info->flags);
  fakeDriver->flags = info->flags;
  return 0;
}

TEST(CommDevice, LowLatencyAskedForAtOpenAndRestoredAtClose) {
  constexpr int Other = 0x40; // a flag of the driver's own that must survive
  struct Case {
    const char *name;
    TFakeDriver driver;
    std::vector<int> expectedSets; // flags written: at open, then at close
  } cases[] = {
      {"supported", {Other, 0, 0, {}}, {Other | ASYNC_LOW_LATENCY, Other}},
      {"already on", {Other | ASYNC_LOW_LATENCY, 0, 0, {}}, {}},
      {"refused", {Other, 0, -1, {}}, {}},
      {"unknown to the driver", {0, -1, 0, {}}, {}},
  };
  PtyPair pty;
  TSerialInfoIoctl saved = SerialInfoIoctl();
  for (auto &c : cases) {
    SCOPED_TRACE(c.name);
    fakeDriver = &c.driver;
    SerialInfoIoctl() = FakeSerialIoctl;
    std::unique_ptr<TCommDevice> dev;
    ASSERT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
    dev.reset();
    SerialInfoIoctl() = saved;
    EXPECT_EQ(c.driver.setCalls, c.expectedSets);
  }
  // A pseudo-terminal refuses the request itself, and opens as before.
  std::unique_ptr<TCommDevice> dev;
  EXPECT_EQ(TCommDevice::Open(pty.SlavePath(), dev), 0);
}

} // namespace
