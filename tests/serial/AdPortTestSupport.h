#pragma once
// Shared set-up of the port component's tests: an application object, a stand-in directory
// whose COM numbers lead to pseudo-terminals or nowhere, a port held by another process, and
// waits with generous bounds.
#include "serial/AdExcept.h"
#include "serial/AdPort.h"
#include "serial/AwUser.h"
#include "tests/support/HeldPort.h"
#include "tests/support/ProcEntries.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"
#include "tests/support/TestApplication.h"
#include "tests/support/WaitUntil.h"

#include <QApplication>

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

inline long ElapsedMs(std::chrono::steady_clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since)
          .count());
}

// The line settings every connect applies before it opens.
inline void ConfigureAsTheLink(TApdComPort &port) {
  port.SetInSize(100);
  port.SetOutSize(100);
  port.SetAutoOpen(false);
  port.SetLogHex(false);
  port.SetDataBits(8);
  port.SetParity(pNone);
  port.SetStopBits(1);
  port.SetBaud(1200);
}

// Queues bytes until the peer's kernel buffer is full and the output buffer holds `leaveFree`
// free bytes or fewer, without ever overfilling it. Returns the number of bytes queued.
inline size_t FillOutput(TApdComPort &port, unsigned leaveFree = 0) {
  size_t queued = 0;
  int stable = 0;
  unsigned lastFree = ~0u;
  while (stable < 20) {
    const unsigned free = port.Dispatcher()->OutBuffFree();
    if (free > leaveFree) {
      port.SendByte(static_cast<uint8_t>(queued));
      ++queued;
      stable = 0;
      continue;
    }
    stable = free == lastFree ? stable + 1 : 0;
    lastFree = free;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return queued;
}

// Runs `op` and returns the EAPDException it raised (code 1 when it raised nothing).
template <typename F> std::pair<int, std::string> Raised(F &&op) {
  try {
    op();
  } catch (const EAPDException &e) {
    return {e.ErrorCode, e.Message};
  }
  return {1, ""};
}
