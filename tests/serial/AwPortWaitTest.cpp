// The component's wait for a received byte against the dispatcher's threads, without any Qt
// event loop: the arrival signal crosses from the dispatch thread to the waiting one. Runs
// under ThreadSanitizer too.
#include "serial/AdPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"

#include <gtest/gtest.h>

#include <thread>

TEST(AwPortWait, EveryByteIsAnsweredAcrossReopensAtEitherBaud) {
  TempConfigDir dir;
  PtyPair pty;
  dir.LinkCom(1, pty.SlavePath());
  pty.StartEcho();
  TApdComPort port;
  port.SetComNumber(1);
  port.SetAutoOpen(false);
  for (int connect = 0; connect < 8; ++connect) {
    port.SetBaud(connect % 2 ? 1200 : 9600);
    port.OpenPort();
    for (int i = 0; i < 64; ++i) {
      port.SendByte(static_cast<uint8_t>(i + connect));
      ASSERT_TRUE(port.WaitByteReady(10000));
      ASSERT_EQ(port.ReadByte(), static_cast<uint8_t>(i + connect));
    }
    port.ClosePort();
  }
  pty.StopEcho();
}

TEST(AwPortWait, ArrivalFromAnotherThreadEndsTheWait) {
  TempConfigDir dir;
  PtyPair pty;
  dir.LinkCom(1, pty.SlavePath());
  TApdComPort port;
  port.SetComNumber(1);
  port.OpenPort();
  for (int i = 0; i < 20; ++i) {
    std::thread peer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      pty.Write({static_cast<uint8_t>(i)});
    });
    EXPECT_TRUE(port.WaitByteReady(10000));
    peer.join();
    EXPECT_EQ(port.ReadByte(), static_cast<uint8_t>(i));
  }
  EXPECT_FALSE(port.WaitByteReady(20));
}
