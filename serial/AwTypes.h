#pragma once
// Shared declarations of the port dispatcher: trace/log states, notification messages, the
// dispatcher's fixed sizes and the option bits of its flow-control operations.
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
// Largest log ring, in bytes.
constexpr unsigned long MaxLogSize = 16000000;

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

// Event masks the event thread waits for.
constexpr uint32_t DefaultEventMask = 505;   // data, CTS, DSR, RLSD, break, error, ring
constexpr uint32_t ModemEventBits = 8504;    // CTS, DSR, RLSD, ring, trailing-edge ring

// Time limits of the dispatcher, in milliseconds.
constexpr int DispatchTickMs = 50;      // the dispatch thread's pass when no event comes
constexpr int ThreadStartTimeoutMs = 3000;

// Recipient of notifications: message, first parameter, second parameter.
using TApdNotifyProc = std::function<void(unsigned msg, unsigned wParam, long lParam)>;
