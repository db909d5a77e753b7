#pragma once
// Shared declarations of the port dispatcher: trace/log states, notification messages, the
// dispatcher's fixed sizes and the option bits of its flow-control operations.
#include "platform/CommDevice.h"

#include <cstdint>
#include <functional>

// Trace and log states (values 0 to 5).
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };

// Notification messages sent to recipients; the second parameter carries the dispatcher
// handle in its upper 16 bits.
constexpr unsigned apw_TriggerAvail = 32257;
constexpr unsigned apw_TriggerData = 32258;
constexpr unsigned apw_TriggerTimer = 32259;
constexpr unsigned apw_TriggerStatus = 32260;
constexpr unsigned apw_PortOpen = 32264;
constexpr unsigned apw_PortClose = 32265;
constexpr unsigned apw_ClosePending = 32266;

// The receive ring holds this many bytes whatever the requested input size.
constexpr unsigned DispatchBufferSize = 8192;
// Largest trace ring, in entries.
constexpr unsigned long MaxTraceSize = 4000000;
// Largest log ring, in bytes, and what each entry takes besides its data bytes.
constexpr unsigned long MaxLogSize = 16000000;
constexpr unsigned long LogEntryHeaderSize = 16;

// Hardware flow-control option bits.
constexpr unsigned hfUseDTR = 1;
constexpr unsigned hfUseRTS = 2;
constexpr unsigned hfRequireDSR = 4;
constexpr unsigned hfRequireCTS = 8;
// Software flow-control option bits.
constexpr unsigned sfTransmitFlow = 1;
constexpr unsigned sfReceiveFlow = 2;

// Argument values of SetLine that keep the current setting.
constexpr int32_t KeepBaud = 0;
constexpr int KeepParity = 5;
constexpr int KeepDataBits = 9;
constexpr int KeepStopBits = 3;

// Port events the event thread waits for (505).
constexpr uint32_t DefaultEventMask = EvRxChar | EvCts | EvDsr | EvRlsd | EvBreak | EvErr | EvRing;
// Events after which the modem status is read again (8504).
constexpr uint32_t ModemEventBits = EvModemLines;
// Events after which the line errors are read again.
constexpr uint32_t LineEventBits = EvBreak | EvErr;
// Line-error bits kept from the OS error mask: overflow, overrun, parity, framing, break.
constexpr uint32_t LineErrorBits = CeRxOver | CeOverrun | CeRxParity | CeFrame | CeBreak;
// The modem status byte: the lines in its upper four bits, their changes in the lower four.
constexpr uint8_t ModemLineBits = MsCtsOn | MsDsrOn | MsRingOn | MsRlsdOn;
constexpr int ModemChangeShift = 4;
constexpr uint8_t RingChangeBit = MsRingOn >> ModemChangeShift;
static_assert(DefaultEventMask == 505 && ModemEventBits == 8504 && LineErrorBits == 0x1F && ModemLineBits == 0xF0,
              "the masks the event thread and the modem status were written for");

// Kinds of log entry and their sub-kinds.
enum TLogKind : uint8_t { lkQueue = 1, lkWrite = 2, lkRead = 3, lkNotify = 4 };
constexpr uint8_t lsBytes = 1;  // queue, read: the bytes or their count
constexpr uint8_t lsDone = 1;   // write: completed
constexpr uint8_t lsFailed = 2; // write: failed, its chunk dropped
constexpr uint8_t lsAvail = 1;  // notify: data available

// Time limits of the dispatcher, in milliseconds.
constexpr int DispatchTickMs = 50;      // the dispatch thread's pass when no event comes
constexpr int ThreadStartTimeoutMs = 3000;

// Recipient of notifications: message, first parameter, second parameter.
using TApdNotifyProc = std::function<void(unsigned msg, unsigned wParam, long lParam)>;
