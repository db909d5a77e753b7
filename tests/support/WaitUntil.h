#pragma once
#include <functional>

// Polls `condition` every millisecond for up to `limitMs`; false when that passed first. Where
// the test program has an application object, the events posted to this thread are delivered
// between the polls, so that notifications handed to the user-interface thread arrive.
bool WaitUntil(const std::function<bool()> &condition, int limitMs = 10000);
