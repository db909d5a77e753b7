#pragma once
// The delayed one-shot refresh of the station's DAC values, the "ЦАП" display and "REFL-FORV".
#include <cstdint>

class TForm1;

// PollMode: where the refresh stands. Before the first connect it is 0.
enum TPollMode : uint8_t { pmArmed = 2, pmDue = 3 };

// The timer's first period after arming (and its interval while stopped), then every later one.
inline constexpr int RefreshFirstPeriod = 800;
inline constexpr int RefreshNextPeriod = 700;

// An operation that changed the station asks for a refresh: PollMode 2, Timer1 enabled.
void ArmRefresh(TForm1 &form);
// Timer1's event, by PollMode: 2 re-arms with 700 ms, 3 stops the timer and polls.
void RefreshTick(TForm1 &form);
// Clears the message window and, with "ЦАП" checked, shows the eight DAC values.
void PollDacValues(TForm1 &form);
// "ЦАП" changed: poll at once, then let the timer poll once more.
void DacDisplayChanged(TForm1 &form);
// "REFL-FORV": the reflected and forward power readings in one line.
void ReadReflForw(TForm1 &form);
