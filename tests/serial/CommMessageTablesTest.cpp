// The message tables used from the port layer's threads: lookups and raised errors while the
// layer starts and ends. Runs under ThreadSanitizer.
#include "serial/AdExcept.h"
#include "serial/AdSrMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(CommMessageTables, LookupsFromSeveralThreadsMeetAStartAndEndSafely) {
  // Between an end and the next start a lookup starts the tables itself, so every lookup sees
  // its text.
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::atomic<int> lookups{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      while (!stop)
        if (++lookups, SerxErrorString(2008) != "ie_Open - device already open")
          ++wrong;
    });
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      while (!stop)
        try {
          ++lookups;
          CheckError(nullptr, -ecBufferIsEmpty);
          ++wrong;
        } catch (const EBufferIsEmpty &e) {
          if (e.Message != "Buffer is empty" || e.ErrorCode != -ecBufferIsEmpty)
            ++wrong;
        }
    });
  // Enough rounds that the threads surely ran during them.
  for (int round = 0; round < 200 || lookups < 4000; ++round) {
    InitializeStringResources();
    FinalizeStringResources();
  }
  stop = true;
  for (auto &thread : threads)
    thread.join();
  FinalizeStringResources();
  EXPECT_EQ(wrong, 0);
}
