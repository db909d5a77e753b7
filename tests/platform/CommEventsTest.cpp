// Events and the wait for one of two.
#include "platform/SyncObjects.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(CommEvents, AWaitConsumesAnAutoResetEventButNotAManualOne) {
  struct Case {
    bool manual;
    bool secondWait;
  } cases[] = {{false, false}, {true, true}};
  for (const auto &c : cases) {
    TEvent e(c.manual);
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set(); // setting twice is still one signal
    EXPECT_TRUE(e.Wait(0));
    EXPECT_EQ(e.Wait(0), c.secondWait);
    e.Reset();
    EXPECT_FALSE(e.Wait(0));
  }
  TEvent initially(true, true);
  EXPECT_TRUE(initially.IsSignalled());
}

TEST(CommEvents, AWaitOnTwoEventsTakesTheFirstSignalledOneOnly) {
  TEvent a(false), b(false);
  EXPECT_EQ(WaitForEvents(a, b, 10), WaitTimeout);
  b.Set();
  EXPECT_EQ(WaitForEvents(a, b, 0), WaitObject0 + 1);
  a.Set();
  b.Set();
  EXPECT_EQ(WaitForEvents(a, b, 0), WaitObject0); // the first wins and only it is consumed
  EXPECT_EQ(WaitForEvents(a, b, 0), WaitObject0 + 1);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    a.Set();
  });
  EXPECT_EQ(WaitForEvents(a, b, WaitInfinite), WaitObject0);
  setter.join();
}

TEST(CommEvents, AutoResetWakesOneWaiter) {
  TEvent e(false);
  std::atomic<int> woken{0};
  std::thread t1([&] { woken += e.Wait(300) ? 1 : 0; });
  std::thread t2([&] { woken += e.Wait(300) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  e.Set();
  t1.join();
  t2.join();
  EXPECT_EQ(woken.load(), 1);
}

} // namespace
