#pragma once
// The port dispatcher: two ring buffers between the user's thread and the device, three I/O
// threads, line settings, purges, notifications, the trace and the log. The operating-system
// side (device, threads) is TApdWin32Dispatcher's; this class holds what does not depend on it.
//
// Entry points for the port component (all return 0 or a negative code unless noted):
//   OpenDispatcher(name, baud, parity, dataBits, stopBits, inSize, outSize, dtr, rts)
//   SetLine(baud, parity, dataBits, stopBits)   0 / 5 / 9 / 3 keep the current value
//   SetDtr(on), SetRts(on)                      1 when that line is under handshake
//   PutBlock(bytes, count), PutChar(byte)       -ecOutputBufferTooSmall when it does not fit
//   CharReady() -> bool, PeekChar(n) -> byte, GetChar(byte&)   -ecBufferIsEmpty when empty
//   FlushInBuffer(), FlushOutBuffer()            purge input / purge output
//   ShutDown()                                   the close; then destroy the dispatcher
#include "platform/CommDevice.h"
#include "platform/SyncObjects.h"
#include "serial/AwRecorder.h"
#include "serial/AwRing.h"
#include "serial/AwTypes.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TApdBaseDispatcher;

// A thread of the dispatcher. It counts itself in and out of the dispatcher's running count;
// the dispatcher joins it when it stops the threads.
class TApdDispatcherThread {
public:
  explicit TApdDispatcherThread(TApdBaseDispatcher &dispatcher) : H(dispatcher) {}
  virtual ~TApdDispatcherThread();
  TApdDispatcherThread(const TApdDispatcherThread &) = delete;
  TApdDispatcherThread &operator=(const TApdDispatcherThread &) = delete;

  void Start();
  bool Ended() const { return ended_.load(); }
  void Join();

protected:
  virtual void Execute() = 0;
  TApdBaseDispatcher &H;

private:
  void Run();
  std::thread thread_;
  std::atomic<bool> ended_{false};
};

class TApdBaseDispatcher {
  friend class TApdDispatcherThread;
  friend class TComThread;
  friend class TDispThread;
  friend class TOutThread;

public:
  explicit TApdBaseDispatcher(void *owner);
  virtual ~TApdBaseDispatcher();
  TApdBaseDispatcher(const TApdBaseDispatcher &) = delete;
  TApdBaseDispatcher &operator=(const TApdBaseDispatcher &) = delete;

  int OpenDispatcher(const std::string &deviceName, int32_t baud, int parity, int dataBits, int stopBits,
                     uint16_t inSize, uint16_t outSize, bool dtr, bool rts);
  int SetLine(int32_t baud, int parity, int dataBits, int stopBits);
  int SetDtr(bool on);
  int SetRts(bool on);
  int HWFlowOptions(unsigned bufferFull, unsigned bufferResume, unsigned options);
  int SWFlowOptions(unsigned bufferFull, unsigned bufferResume, unsigned options);
  int SWFlowDisable();
  int SetFlowChars(char xon, char xoff);
  int SetCommBuffers(int inSize, int outSize);
  // RS-485 mode: RTS is left to the driver (toggle) instead of being set by the dispatcher.
  void SetRS485Mode(bool on);
  void SetBaseAddress(unsigned address) { BaseAddress = address; }
  void SetEventWord(bool on) { UseEventWord = on; }
  bool RS485() const { return RS485Mode; }
  bool EventWord() const { return UseEventWord; }

  int PutBlock(const void *block, unsigned count);
  int PutChar(uint8_t c) { return PutBlock(&c, 1); }
  bool CharReady();
  // The n-th unread byte (n from 1), or -ecBufferIsEmpty when fewer than n are unread.
  int PeekChar(unsigned n);
  int GetChar(uint8_t &c);
  int FlushInBuffer() { return PurgeQueue(PurgeRxAbort | PurgeRxClear); }
  int FlushOutBuffer() { return PurgeQueue(PurgeTxAbort | PurgeTxClear); }
  unsigned InBuffUsed();
  unsigned OutBuffUsed();
  unsigned OutBuffFree();
  void ShutDown();

  // Line and modem state as last read.
  const TDcb &LineState() const { return DCB; }
  uint8_t ModemStatus() const { return ModemStatus_.load(); }
  uint32_t LineErrors() const { return LastError.load(); }
  // True once the device hung up (peer gone, adapter unplugged).
  virtual bool PortLost() const { return false; }

  // Notifications.
  void RegisterProcTriggerHandler(TApdNotifyProc proc);
  void SetDataAvailableLevel(unsigned level) { NotifyThreshold = level; }
  bool InNotification() const { return InNotify.load(); }
  // Called while the closing thread waits for the I/O threads, so that a recipient that hands
  // work to that thread is served; none by default.
  std::function<void()> MessagePump;
  // Told, on the failing thread, when an I/O thread ends by an error; set before the open.
  std::function<void(const std::string &)> ThreadFailure;
  void ReportThreadFailure(const std::string &message);

  // Trace.
  int InitTracing(unsigned long numEntries);
  void StartTracing();
  void StopTracing();
  void ClearTracing();
  void AbortTracing();
  int DumpTrace(const std::string &fileName, bool inHex, bool allHex);
  int AppendTrace(const std::string &fileName, bool inHex, bool allHex);
  bool TracingOn() const { return TraceOn; }

  // Log.
  int InitLogging(unsigned long size);
  void StartLogging();
  void StopLogging();
  void ClearLogging();
  void AbortLogging();
  int DumpLog(const std::string &fileName, bool inHex, bool allHex);
  int AppendLog(const std::string &fileName, bool inHex, bool allHex);

  // The trace and the log as one kind of recording each, for the component.
  TApdRecording &TraceRecording();
  TApdRecording &LogRecording();

  int Handle() const { return Handle_; }
  void *Owner() const { return Owner_; }
  bool ThreadsRunning() const { return ThreadsStarted.load(); }
  // Port events the event thread handed to the dispatch thread since the open.
  unsigned long EventWakeups() const { return EventCount.load(); }
  int RunningThreads() const { return ActiveThreads.load(); }
  static TApdBaseDispatcher *FromHandle(int handle);

  virtual int SetThreadBoost(int boost);
  virtual void UpdateHandlerFlags(int kind);

protected:
  // The open sequence's steps: the events the threads wait on, and the buffers and counters a
  // freshly opened device starts with.
  bool MakeEvents();
  void ResetBuffers(uint16_t inSize, uint16_t outSize);
  // Slots of the device layer.
  virtual int EscapeLine(int function) = 0;
  virtual int PurgeQueue(uint32_t which) = 0;
  virtual uint32_t ReadErrors(TComStat &stat) = 0;
  virtual void NoteReadFailure(int) {}
  virtual int ReadLineState(TDcb &dcb) = 0;
  virtual int ReadDevice(uint8_t *buffer, unsigned count) = 0;
  virtual int WriteLineState(const TDcb &dcb) = 0;
  virtual int QueueOutput(const uint8_t *bytes, unsigned count);
  virtual int WaitEvent(uint32_t &mask) = 0;
  virtual int SizeQueues(int inSize, int outSize) = 0; // 0 or the OS error
  virtual void ReleaseBuffers();
  virtual void StartThreads() = 0;
  virtual void StopThreads() = 0;
  virtual int OpenDevice(const std::string &name, int inSize, int outSize) = 0;
  virtual int CloseDevice() = 0;
  // The close when it is asked for on the dispatch thread itself (a recipient closing the port):
  // the other threads are stopped and the device closed; the dispatch thread ends by itself.
  virtual void CloseDeviceFromDispatchThread() = 0;
  virtual int YieldSlice() {
    std::this_thread::yield();
    return 0;
  }
  virtual int ReadModemStatus(uint32_t &status) = 0;
  virtual bool DeviceOpen() const = 0;
  virtual unsigned DeviceOutQueue() { return 0; }

  // Work of the threads.
  void FillDispatchBuffer();
  unsigned ReadInto(uint8_t *into, unsigned count);
  void ProcessEvent(uint32_t mask);
  void ProcessTick();
  void ScanAndNotify();
  void OutputWriteLoop();
  virtual int WriteDevice(const uint8_t *bytes, unsigned count, unsigned &written) = 0;
  void AdvanceTail(unsigned count);
  void AcknowledgeFlush();
  void Notify(unsigned msg, unsigned wParam);
  bool RecipientRead() const;
  std::thread::id NotifyThread;
  void RefreshModemStatus();
  int ApplyLineState();
  void DrainOutput();
  void AddTrace(char kind, uint8_t byte);
  void AddLog(TLogKind kind, uint8_t subKind, uint32_t data, const void *bytes, uint32_t length);
  int WriteTrace(const std::string &fileName, bool inHex, bool allHex, bool append);
  int WriteLog(const std::string &fileName, bool inHex, bool allHex, bool append);
  void WaitForThread(TApdDispatcherThread *thread);

  void *Owner_;
  int Handle_ = -1;

  // Received bytes not yet taken by the user (InputLock), and queued bytes not yet written
  // (OutputLock).
  TApdRing DispatchBuffer;
  TApdRing OutputBuffer;
  // DispatchBuffer's unread count, stored after every change of it (under InputLock), so that
  // a user polling CharReady outside a notification need not take InputLock: the dispatch
  // thread storing a byte would otherwise meet the poller holding the lock and wait to be woken
  // by it, one more hand-over between two threads for every answered byte.
  std::atomic<unsigned> Unread{0};
  void NoteUnread() { Unread.store(DispatchBuffer.Allocated() ? DispatchBuffer.Used() : 0, std::memory_order_release); }

  TDcb DCB{};
  uint32_t LastBaud = 115200;
  bool DTRState = false;
  bool DTRAuto = false;
  bool RTSState = false;
  bool RTSAuto = false;
  bool RS485Mode = false;
  bool UseEventWord = true;
  unsigned BaseAddress = 0;
  std::atomic<uint32_t> LastError{0};
  std::atomic<uint8_t> ModemStatus_{0};
  uint16_t InSize = 0;
  uint16_t OutSize = 0;

  std::vector<TApdNotifyProc> ProcHandlers;
  unsigned NotifyThreshold = 1;
  unsigned long DataArrived = 0;  // bytes stored since the open
  unsigned long LastNotified = 0; // DataArrived at the last data notification
  std::atomic<bool> InNotify{false};
  // Bookkeeping of a data notification: reads by recipients peek instead of moving the index.
  bool NotifyData = false;
  unsigned NotifyRead = 0;
  unsigned NotifyMaxRead = 0;

  std::atomic<bool> KillThreads{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> ThreadsStarted{false};
  std::atomic<int> ActiveThreads{0};
  std::atomic<bool> BuffersReleased{true};
  int ThreadBoost = 0;
  int HandlerFlags = 0;
  std::unique_ptr<TApdDispatcherThread> ComThread;
  std::unique_ptr<TApdDispatcherThread> DispThread;
  std::unique_ptr<TApdDispatcherThread> OutThread;

  TCriticalSection StateLock;
  TCriticalSection OutputLock;
  TCriticalSection InputLock;

  std::unique_ptr<TEvent> EventArrived;
  std::unique_ptr<TEvent> EventDone;
  std::unique_ptr<TEvent> Ack;
  std::unique_ptr<TEvent> OutputQueued;
  std::unique_ptr<TEvent> FlushRequest;
  std::unique_ptr<TEvent> WriteComplete;

  std::atomic<uint32_t> LastEvent{0};
  std::atomic<unsigned long> EventCount{0};
  std::atomic<bool> RingFlag{false};

  // Trace: (kind, byte) entries.
  std::vector<uint8_t> TraceQueue;
  unsigned long TraceSize = 0;
  unsigned long TraceIndex = 0;
  bool TraceWrapped = false;
  bool TraceOn = false;
  // Log: entries of a 16-byte header and their data, oldest dropped past LogSize bytes.
  struct TLogEntry {
    uint8_t Kind;
    uint8_t SubKind;
    uint32_t Time;
    uint32_t Data;
    std::vector<uint8_t> Bytes;
  };
  std::deque<TLogEntry> LogQueue;
  unsigned long LogSize = 0;
  unsigned long LogUsed = 0;
  bool LogOn = false;
  bool LogAllocated = false;
  long long TimeBase = 0;
  std::unique_ptr<TApdRecording> TraceRecording_;
  std::unique_ptr<TApdRecording> LogRecording_;
};
