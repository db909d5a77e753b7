#pragma once
// Shared set-up of the dispatcher tests: a stand-in directory with com1 linked to a fresh
// pseudo-terminal, and small waiting helpers with generous bounds.
#include "serial/AwWin32.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempConfigDir.h"
#include "tests/support/WaitUntil.h"

#include <chrono>
#include <functional>
#include <thread>

// A dispatcher whose line-state writes can be counted.
class TCountingDispatcher : public TApdWin32Dispatcher {
public:
  using TApdWin32Dispatcher::TApdWin32Dispatcher;
  // The threads call this class's overrides: they must have ended before it is torn down.
  ~TCountingDispatcher() override { ShutDown(); }
  int LineStateWrites = 0;

protected:
  int WriteLineState(const TDcb &dcb) override {
    ++LineStateWrites;
    return TApdWin32Dispatcher::WriteLineState(dcb);
  }
};

struct TPortFixture {
  TempConfigDir dir;
  PtyPair pty;
  TCountingDispatcher port{nullptr};

  TPortFixture() { dir.LinkCom(1, pty.SlavePath()); }
  int Open(uint16_t inSize = 100, uint16_t outSize = 100, int32_t baud = 1200) {
    return port.OpenDispatcher("\\\\.\\COM1", baud, NoParity, 8, 1, inSize, outSize, true, true);
  }
  // Takes `count` bytes from the receive ring, waiting for them.
  std::vector<uint8_t> Take(size_t count, int limitMs = 10000) {
    std::vector<uint8_t> out;
    WaitUntil(
        [&] {
          uint8_t c;
          while (out.size() < count && port.GetChar(c) == 0)
            out.push_back(c);
          return out.size() == count;
        },
        limitMs);
    return out;
  }
};
