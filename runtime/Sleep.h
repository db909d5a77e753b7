#pragma once
// The runtime's millisecond sleep.
void Sleep(unsigned milliseconds);
