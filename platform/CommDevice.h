#pragma once
// The serial device as the port dispatcher expects to find it: opened by "\\.\COMn", with a
// line-state record, DTR/RTS escapes, purges, an error/queue state, an event wait that another
// thread can interrupt, reads that return at once and writes that a flush request can abandon.
// Every operation returns 0 or the OS error number of the system the dispatcher was written
// for (2 missing device, 5 access denied / held by someone else, 87 invalid parameter ...).
#include "os/OsError.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TEvent;

// Line-state record (the OS's device control block) and its flag bits.
struct TDcb {
  uint32_t DCBlength = sizeof(TDcb);
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;
  uint16_t wReserved = 0;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  uint16_t wReserved1 = 0;
};

constexpr uint32_t dcbBinary = 0x0001;
constexpr uint32_t dcbParityCheck = 0x0002;
constexpr uint32_t dcbOutxCtsFlow = 0x0004;
constexpr uint32_t dcbOutxDsrFlow = 0x0008;
constexpr uint32_t dcbDtrControlMask = 0x0030;
constexpr uint32_t dcbDsrSensitivity = 0x0040;
constexpr uint32_t dcbTxContinueOnXoff = 0x0080;
constexpr uint32_t dcbOutX = 0x0100;
constexpr uint32_t dcbInX = 0x0200;
constexpr uint32_t dcbErrorChar = 0x0400;
constexpr uint32_t dcbNull = 0x0800;
constexpr uint32_t dcbRtsControlMask = 0x3000;
constexpr uint32_t dcbAbortOnError = 0x4000;
constexpr int dcbDtrControlShift = 4;
constexpr int dcbRtsControlShift = 12;

constexpr uint32_t DtrControlDisable = 0;
constexpr uint32_t DtrControlEnable = 1;
constexpr uint32_t DtrControlHandshake = 2;
constexpr uint32_t RtsControlDisable = 0;
constexpr uint32_t RtsControlEnable = 1;
constexpr uint32_t RtsControlHandshake = 2;
constexpr uint32_t RtsControlToggle = 3;

inline uint32_t DtrControl(const TDcb &dcb) { return (dcb.Flags & dcbDtrControlMask) >> dcbDtrControlShift; }
inline uint32_t RtsControl(const TDcb &dcb) { return (dcb.Flags & dcbRtsControlMask) >> dcbRtsControlShift; }
inline void SetDtrControl(TDcb &dcb, uint32_t v) {
  dcb.Flags = (dcb.Flags & ~dcbDtrControlMask) | ((v << dcbDtrControlShift) & dcbDtrControlMask);
}
inline void SetRtsControl(TDcb &dcb, uint32_t v) {
  dcb.Flags = (dcb.Flags & ~dcbRtsControlMask) | ((v << dcbRtsControlShift) & dcbRtsControlMask);
}

// Parity and stop-bit codes of the record.
constexpr uint8_t NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4;
constexpr uint8_t OneStopBit = 0, One5StopBits = 1, TwoStopBits = 2;

// Event mask bits.
constexpr uint32_t EvRxChar = 0x0001;
constexpr uint32_t EvRxFlag = 0x0002;
constexpr uint32_t EvTxEmpty = 0x0004;
constexpr uint32_t EvCts = 0x0008;
constexpr uint32_t EvDsr = 0x0010;
constexpr uint32_t EvRlsd = 0x0020;
constexpr uint32_t EvBreak = 0x0040;
constexpr uint32_t EvErr = 0x0080;
constexpr uint32_t EvRing = 0x0100;
constexpr uint32_t EvRingTe = 0x2000;
// The events of the modem lines.
constexpr uint32_t EvModemLines = EvCts | EvDsr | EvRlsd | EvRing | EvRingTe;

// Line-error bits of ClearError.
constexpr uint32_t CeRxOver = 0x01, CeOverrun = 0x02, CeRxParity = 0x04, CeFrame = 0x08, CeBreak = 0x10;

// Modem status bits.
constexpr uint32_t MsCtsOn = 0x10, MsDsrOn = 0x20, MsRingOn = 0x40, MsRlsdOn = 0x80;

// Purge flags.
constexpr uint32_t PurgeTxAbort = 1, PurgeRxAbort = 2, PurgeTxClear = 4, PurgeRxClear = 8;

// Escape functions.
constexpr int EscSetRts = 3, EscClrRts = 4, EscSetDtr = 5, EscClrDtr = 6;

struct serial_struct;
// The driver's serial-information request (TIOCGSERIAL / TIOCSSERIAL). A test may replace it to
// play a driver that knows the low-latency flag; no device here does.
using TSerialInfoIoctl = int (*)(int fd, unsigned long request, serial_struct *info);
TSerialInfoIoctl &SerialInfoIoctl();

struct TComStat {
  uint32_t Flags = 0;
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// The path a device name stands for: "\\.\COMn" is <windows dir>/com<n> when that entry exists
// (a dangling link included), else the first <system dir>/com<n> that exists (an administrator's
// link for every user of the bench), else /dev/ttyS<n-1>; any other name is taken as a path.
// Empty for a malformed COM name.
std::string CommDevicePath(const std::string &name);

// "\\.\COMn", the name port n is opened by.
std::string ComPortName(int number);
// The device port n stands for: CommDevicePath(ComPortName(number)).
std::string ComPortPath(int number);
// <windows dir>/com<n>: the user's own link for port n, whether it exists or not.
std::string ComLinkPath(int number);

class TCommDevice {
public:
  // Opens read-write, non-blocking and exclusive, and asks the driver for low latency (restored
  // at close). A device that another process holds (PortHolder.h), or a second open of the same
  // device from this process, root included, is refused with ErrorAccessDenied before anything
  // of the line is touched.
  static int Open(const std::string &name, std::unique_ptr<TCommDevice> &device);
  // Whether the port exists and is free (0), held (ErrorAccessDenied) or missing, without
  // changing anything of it and without opening a held port at all.
  static int Probe(const std::string &name);
  ~TCommDevice();
  TCommDevice(const TCommDevice &) = delete;
  TCommDevice &operator=(const TCommDevice &) = delete;

  int GetState(TDcb &dcb);
  int SetState(const TDcb &dcb);
  int Escape(int function);
  int SetupQueues(uint32_t inSize, uint32_t outSize);
  int Purge(uint32_t flags);
  // Line errors since the last call, bytes waiting in the receive and transmit queues (the
  // transmit count only when asked: a caller with a queue of its own saves the system call).
  int ClearError(uint32_t &errors, TComStat &stat, bool countOutput = true);
  int GetModemStatus(uint32_t &status);
  // Setting the mask ends a pending WaitEvent with no events; mask 0 also keeps later waits
  // from blocking until a mask is set again.
  int SetMask(uint32_t mask);
  // Blocks until received data or a line event of the mask is present (each arrival reported
  // once, even while earlier bytes stay unread), or until interrupted. Fails once the device
  // has hung up.
  int WaitEvent(uint32_t &events);
  // Returns at once with what is present (got 0 when nothing is).
  int Read(void *buffer, size_t count, size_t &got);
  // Writes everything unless `abandon` (claimed here) or a transmit abort ends it first, which
  // gives ErrorOperationAborted with `written` telling how far it got.
  int Write(const void *buffer, size_t count, size_t &written, TEvent *abandon);
  // True after a hang-up: the device will give nothing more.
  bool Lost() const { return lost_.load(); }
  int Fd() const { return fd_; }

private:
  static int OpenUnheld(const std::string &name, int &fd);
  TCommDevice(int fd, bool modemLines);
  void RequestLowLatency();
  void RestoreLatency();
  int ApplyModemLine(int bit, bool on);
  void MarkLost();
  uint32_t QueuedInput() const;
  // Received bytes reported and not read since, while the wait looks at the queue's growth.
  struct TBacklog {
    bool Watching = false;
    uint32_t Level = 0;
  };
  void WatchBacklog(uint32_t mask, TBacklog &backlog);
  bool BacklogMoved(TBacklog &backlog);
  bool WaitOutcome(short wake, short line, uint32_t mask, TBacklog &backlog, bool watchModem, uint32_t &events);

  int fd_;
  int wakeFd_;
  int txAbortFd_;
  bool modemLines_;
  int savedSerialFlags_ = -1; // the driver's flags before we asked for low latency
  TDcb shadow_{};
  // Framing bits as the device kept them after our last SetState: a pseudo-terminal keeps no
  // byte size or parity, so while they are unchanged the requested values are reported.
  unsigned appliedFraming_ = ~0u;
  std::atomic<uint32_t> mask_{0};
  std::atomic<bool> lost_{false};
  std::atomic<bool> waiting_{false};
  std::atomic<bool> writing_{false};
  // Set when a wait reported received data, cleared by every read: data reported and still not
  // taken must not be reported again until more arrives, or a level-triggered poll would spin.
  std::atomic<bool> reportedUnread_{false};
  uint32_t lastModem_ = 0;
  struct Counts {
    int frame = 0, overrun = 0, parity = 0, brk = 0, bufOverrun = 0;
  } lastCounts_;
  bool haveCounts_ = false;
  std::mutex countsLock_; // ClearError runs on the user's thread and the dispatch thread
};
