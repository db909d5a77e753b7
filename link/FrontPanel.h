#pragma once
// The station's front panel operated from the PC: one unanswered byte per button.
#include <cstdint>

class TForm1;

// Sends one front-panel byte, pauses, and arms the refresh.
void PressFrontPanel(TForm1 &form, uint8_t command);
// The keyboard's M: the scrambler byte with a shorter pause, and no refresh.
void PressScramblerKey(TForm1 &form);
