#include "runtime/Sleep.h"

#include <chrono>
#include <thread>

void Sleep(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
