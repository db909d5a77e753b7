#pragma once
// Result codes of the serial port layer. Every dispatcher and component operation returns a
// 32-bit signed result: 0 for success, positive values as ordinary results, and for a failure
// the NEGATED code below (e.g. -ecBadId) or a negated OS error number.

// Success.
constexpr int ecOK = 0;

// General errors.
constexpr int ecBadHandle = 1001;
constexpr int ecBadArgument = 1002;
constexpr int ecGotQuitMsg = 1003;
constexpr int ecBufferTooBig = 1004;
constexpr int ecPortNotAssigned = 1005;
constexpr int ecInternal = 1006;
constexpr int ecModemNotAssigned = 1007;
constexpr int ecPhonebookNotAssigned = 1008;
constexpr int ecCannotUseWithWinSock = 1009;

// Errors while opening a port.
constexpr int ecBadId = 2001;
constexpr int ecBaudRate = 2002;
constexpr int ecByteSize = 2003;
constexpr int ecDefault = 2004;
constexpr int ecHardware = 2005;
constexpr int ecMemory = 2006;
constexpr int ecCommNotOpen = 2007;
constexpr int ecAlreadyOpen = 2008;
constexpr int ecNoHandles = 2009;
constexpr int ecNoTimers = 2010;
constexpr int ecNoPortSelected = 2011;
constexpr int ecNotOpenedByTapi = 2012;

// Errors of serial I/O.
constexpr int ecNullApi = 3001;
constexpr int ecNotSupported = 3002;
constexpr int ecRegisterHandlerFailed = 3003;
constexpr int ecPutBlockFail = 3004;
constexpr int ecGetBlockFail = 3005;
constexpr int ecOutputBufferTooSmall = 3006;
constexpr int ecBufferIsEmpty = 3007;
constexpr int ecTracingNotEnabled = 3008;
constexpr int ecLoggingNotEnabled = 3009;
constexpr int ecBaseAddressNotSet = 3010;

// Trigger errors.
constexpr int ecTriggerTooLong = 5002;
constexpr int ecBadTriggerHandle = 5003;

#include <atomic>

// Base of the layer's components. While a component is being loaded from a stored form its
// property setters may run operations whose failures must not raise yet (CheckError lets them
// pass); the component clears the state once loading has finished.
class TApdBaseComponent {
public:
  virtual ~TApdBaseComponent() = default;
  bool IsLoading() const noexcept { return Loading.load(std::memory_order_relaxed); }
  void SetLoading(bool loading) noexcept { Loading.store(loading, std::memory_order_relaxed); }

private:
  std::atomic<bool> Loading{false};
};
