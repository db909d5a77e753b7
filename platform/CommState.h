#pragma once
// The pure conversion between the device record of the line (TDcb) and termios: speeds, framing
// and flow control. No device is touched here; CommDevice.cpp makes the calls.
#include "platform/CommDevice.h"

#include <cstdint>
#include <termios.h>

namespace CommState {

// The record's framing bits that termios has.
constexpr tcflag_t FramingBits = CSIZE | PARENB | PARODD | CMSPAR;

// The termios code of a speed in baud; false for a speed the kernel has no code for.
bool SpeedFor(uint32_t baud, speed_t &code);
// The speed of a termios code, 0 for none known.
uint32_t BaudFor(speed_t code);

// Byte size 5..8, a known parity and stop-bit code, and one and a half stop bits exactly with 5
// data bits.
bool ValidFraming(const TDcb &dcb);
// The raw line of the record: framing, flow control, speed, and reads that return at once.
void TermiosFor(const TDcb &dcb, speed_t speed, termios &tio);
// The record a device with these settings has: what termios holds over the last record given
// (`shadow`). Where termios still has the framing last applied (`appliedFraming`; a
// pseudo-terminal keeps none), the byte size and parity given are kept.
TDcb StateOf(const termios &tio, const TDcb &shadow, unsigned appliedFraming);

} // namespace CommState
