#include "platform/office/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;

TEST(OfficeWatchdog, RunsTheExpiryActionOnlyForACallThatOutlastsItsTime) {
  std::atomic<int> expiries = 0;
  TWatchdog watchdog([&] { ++expiries; });
  { TWatchdog::TGuard quick(watchdog, 2000ms); }
  {
    TWatchdog::TGuard quickAgain(watchdog, 2000ms);
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(expiries, 0);
  EXPECT_FALSE(watchdog.Expired());

  {
    TWatchdog::TGuard slow(watchdog, 20ms);
    // Generous: the action must come while the call is still running, however loaded the machine.
    for (int i = 0; i < 500 && expiries == 0; ++i)
      std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(expiries, 1);
  EXPECT_TRUE(watchdog.Expired());
}

TEST(OfficeWatchdog, AGuardThatEndsInTimeIsNeverExpiredLater) {
  std::atomic<int> expiries = 0;
  TWatchdog watchdog([&] { ++expiries; });
  { TWatchdog::TGuard guard(watchdog, 30ms); }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(expiries, 0);
}
