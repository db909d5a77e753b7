// The comm device over termios: names, line state, the event wait, interruptible writes and
// hang-ups, on pseudo-terminals.
#include "platform/CommDevice.h"
#include "platform/SyncObjects.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(CommDevice, DeviceNames) {
  TempConfigDir dir;
  const auto link = dir.LinkCom(3, "/nonexistent");
  struct Case {
    std::string name, path;
  } cases[] = {
      {"\\\\.\\COM3", link.string()},   // a link of the stand-in directory, dangling or not
      {"\\\\.\\com3", link.string()},
      {"\\\\.\\COM4", "/dev/ttyS3"},    // no link: the serial port of that number
      {"\\\\.\\COM0", ""},
      {"\\\\.\\COMx", ""},
      {"\\\\.\\COM", "\\\\.\\COM"},     // not a COM name: taken as a path
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
  PtyPair pty; // its slave belongs to root, group tty, mode 620
  TempConfigDir dir;
  struct Case {
    std::string name;
    int expected;
  } cases[] = {
      {pty.SlavePath(), ErrorInvalidAccess},
      {dir.WriteFile("plain", "x").string(), ErrorInvalidAccess}, // in a directory only root may enter
      {"/", ErrorFileNotFound},                                   // a directory is no port
  };
  for (const auto &c : cases) {
    const pid_t child = fork();
    if (child == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0)
        _exit(255);
      std::unique_ptr<TCommDevice> dev;
      _exit(TCommDevice::Open(c.name, dev));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 255) << "cannot drop privileges here";
    EXPECT_EQ(WEXITSTATUS(status), c.expected) << c.name;
  }
}

TEST(CommDevice, LineStateRoundTrip) {
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
      {1234, 8, NoParity, OneStopBit, ErrorInvalidParameter, B4800},  // no such rate
      {1200, 9, NoParity, OneStopBit, ErrorInvalidParameter, B4800},  // no such size
      {1200, 8, 7, OneStopBit, ErrorInvalidParameter, B4800},         // no such parity
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
  for (auto interrupt : {+[](TCommDevice &d) { d.SetMask(0); }, +[](TCommDevice &d) { d.Purge(PurgeRxAbort); }}) {
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
}

} // namespace
