#include "tests/support/WaitUntil.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

bool WaitUntil(const std::function<bool()> &condition, int limitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    if (QCoreApplication::instance())
      QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
