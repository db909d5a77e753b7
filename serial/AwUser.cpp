#include "serial/AwUser.h"

#include "runtime/Exception.h"
#include "serial/OoMisc.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

std::mutex &TableLock() {
  static std::mutex lock;
  return lock;
}

// Process-wide dispatcher table: a handle is an index into it.
std::vector<TApdBaseDispatcher *> &Table() {
  static std::vector<TApdBaseDispatcher *> table;
  return table;
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Threads

TApdDispatcherThread::~TApdDispatcherThread() { Join(); }

void TApdDispatcherThread::Start() {
  thread_ = std::thread([this] { Run(); });
}

void TApdDispatcherThread::Join() {
  if (thread_.joinable())
    thread_.join();
}

void TApdDispatcherThread::Run() {
  ++H.ActiveThreads;
  try {
    Execute();
  } catch (const std::exception &e) {
    // Nothing above this thread could catch it: the user is told, on the user's thread.
    H.ReportThreadFailure(e.what());
  } catch (...) {
    H.ReportThreadFailure("Serx exception");
  }
  if (--H.ActiveThreads == 0)
    H.ThreadsStarted.store(false);
  ended_.store(true);
}

// ---------------------------------------------------------------------------------------------
// Construction and the dispatcher table

TApdBaseDispatcher::TApdBaseDispatcher(void *owner) : Owner_(owner) {
  std::lock_guard<std::mutex> guard(TableLock());
  auto &table = Table();
  const auto slot = std::find(table.begin(), table.end(), nullptr);
  if (slot != table.end()) {
    *slot = this;
    Handle_ = static_cast<int>(slot - table.begin());
  } else {
    table.push_back(this);
    Handle_ = static_cast<int>(table.size() - 1);
  }
}

TApdBaseDispatcher::~TApdBaseDispatcher() {
  // The device layer's destructor has shut the port down; free what is left.
  DispatchBuffer.Release();
  OutputBuffer.Release();
  std::lock_guard<std::mutex> guard(TableLock());
  auto &table = Table();
  if (Handle_ >= 0 && Handle_ < static_cast<int>(table.size()))
    table[Handle_] = nullptr;
  while (!table.empty() && table.back() == nullptr)
    table.pop_back();
}

TApdBaseDispatcher *TApdBaseDispatcher::FromHandle(int handle) {
  std::lock_guard<std::mutex> guard(TableLock());
  auto &table = Table();
  return handle >= 0 && handle < static_cast<int>(table.size()) ? table[handle] : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Open, close

bool TApdBaseDispatcher::MakeEvents() {
  try {
    EventArrived = std::make_unique<TEvent>(false);
    EventDone = std::make_unique<TEvent>(false);
    Ack = std::make_unique<TEvent>(false);
    OutputQueued = std::make_unique<TEvent>(false);
    WriteComplete = std::make_unique<TEvent>(true);
    FlushRequest = std::make_unique<TEvent>(false);
  } catch (const std::exception &) {
    return false;
  }
  return true;
}

void TApdBaseDispatcher::ResetBuffers(uint16_t inSize, uint16_t outSize) {
  InSize = inSize;
  OutSize = outSize;
  {
    std::lock_guard<TCriticalSection> in(InputLock);
    std::lock_guard<TCriticalSection> out(OutputLock);
    DispatchBuffer.Allocate(DispatchBufferSize);
    NoteUnread();
    OutputBuffer.Allocate(outSize);
    DataArrived = LastNotified = 0;
    NotifyData = false;
    NotifyRead = NotifyMaxRead = 0;
  }
  BuffersReleased.store(false);
  LastError.store(0);
  RS485Mode = false;
  BaseAddress = 0;
  DTRAuto = RTSAuto = false;
}

int TApdBaseDispatcher::OpenDispatcher(const std::string &deviceName, int32_t baud, int parity, int dataBits,
                                       int stopBits, uint16_t inSize, uint16_t outSize, bool dtr, bool rts) {
  if (DeviceOpen())
    return -ecAlreadyOpen;
  RingFlag.store(false);
  InNotify.store(false);
  StopRequested.store(false);
  if (!MakeEvents()) {
    ShutDown();
    return -ErrorTooManyOpenFiles;
  }
  int result = OpenDevice(deviceName, inSize, outSize);
  if (result == 0) {
    const int sized = SizeQueues(inSize, outSize);
    result = sized ? -sized : 0;
  }
  if (result != 0) {
    ShutDown();
    return result;
  }
  ResetBuffers(inSize, outSize);
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    ReadLineState(DCB);
  }
  SetDtr(dtr);
  SetRts(rts);
  RefreshModemStatus();
  LastBaud = 115200;
  result = SetLine(baud, parity, dataBits, stopBits);
  if (result != 0) {
    ShutDown();
    return result;
  }
  TComStat stat;
  ReadErrors(stat);
  AbortTracing();
  AbortLogging();
  TimeBase = NowMs();
  try {
    StartThreads();
  } catch (const std::exception &) {
    ShutDown();
    return -ErrorNotEnoughMemory;
  }
  return 0;
}

void TApdBaseDispatcher::ShutDown() {
  // A recipient cannot wait for the thread it runs on: the closing side finishes the job.
  bool onRecipientThread;
  {
    std::lock_guard<TCriticalSection> in(InputLock);
    onRecipientThread = InNotify.load() && NotifyThread == std::this_thread::get_id();
  }
  if (onRecipientThread) {
    // The purges and the device close are done here all the same, so that the port is free when
    // the recipient returns; only this thread's own end and the buffers are left to it.
    if (DeviceOpen()) {
      FlushOutBuffer();
      FlushInBuffer();
    }
    StopRequested.store(true);
    CloseDeviceFromDispatchThread();
    return;
  }
  if (DeviceOpen()) {
    FlushOutBuffer();
    FlushInBuffer();
    CloseDevice();
  }
  ReleaseBuffers();
}

void TApdBaseDispatcher::ReportThreadFailure(const std::string &message) {
  std::function<void(const std::string &)> report;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    report = ThreadFailure;
  }
  if (report)
    report(message);
  else
    std::fprintf(stderr, "kstune: serial thread ended: %s\n", message.c_str());
}

void TApdBaseDispatcher::ReleaseBuffers() {
  StopThreads();
  std::lock_guard<TCriticalSection> in(InputLock);
  std::lock_guard<TCriticalSection> out(OutputLock);
  DispatchBuffer.Release();
  NoteUnread();
  OutputBuffer.Release();
  BuffersReleased.store(true);
}

void TApdBaseDispatcher::WaitForThread(TApdDispatcherThread *thread) {
  if (!thread)
    return;
  if (MessagePump) {
    while (!thread->Ended()) {
      MessagePump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  thread->Join();
}

int TApdBaseDispatcher::SetThreadBoost(int boost) {
  // Threads run at normal priority: raising it needs privileges a user does not have here.
  std::lock_guard<TCriticalSection> state(StateLock);
  ThreadBoost = boost;
  return 0;
}

void TApdBaseDispatcher::UpdateHandlerFlags(int kind) {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (kind == 1 || kind == 2)
    HandlerFlags = kind;
}

// ---------------------------------------------------------------------------------------------
// Line settings

int TApdBaseDispatcher::SetLine(int32_t baud, int parity, int dataBits, int stopBits) {
  TDcb current;
  uint32_t newBaud;
  uint8_t newParity, newSize, newStop;
  auto adjust = [](TDcb &dcb) {
    dcb.Flags |= dcbBinary | dcbTxContinueOnXoff;
    dcb.Flags &= ~(dcbParityCheck | dcbDsrSensitivity | dcbNull);
  };
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    if (ReadLineState(current) != 0)
      return -ErrorInvalidHandle;
    DCB = current;
    adjust(DCB);
    newBaud = baud == KeepBaud ? current.BaudRate : static_cast<uint32_t>(baud);
    newParity = parity == KeepParity ? current.Parity : static_cast<uint8_t>(parity);
    newSize = dataBits == KeepDataBits ? current.ByteSize : static_cast<uint8_t>(dataBits);
    if (stopBits == KeepStopBits) {
      newStop = current.StopBits;
    } else {
      const int bits = stopBits == 0 ? 1 : stopBits > 2 ? 2 : stopBits;
      newStop = newSize == 5 ? One5StopBits : bits == 1 ? OneStopBit : TwoStopBits;
    }
    if (newBaud == current.BaudRate && newParity == current.Parity && newSize == current.ByteSize &&
        newStop == current.StopBits)
      return 0;
  }
  DrainOutput();
  std::lock_guard<TCriticalSection> state(StateLock);
  ReadLineState(DCB);
  adjust(DCB);
  DCB.BaudRate = newBaud;
  DCB.Parity = newParity;
  DCB.ByteSize = newSize;
  DCB.StopBits = newStop;
  return ApplyLineState();
}

// Lets the bytes already queued leave at the old settings before the line changes.
void TApdBaseDispatcher::DrainOutput() {
  // The kernel's own transmit queue counts too: a new speed applies to it at once.
  for (int i = 0; i < 5000 && (OutBuffUsed() > 0 || DeviceOutQueue() > 0) && !PortLost(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  unsigned bits;
  uint32_t prev;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    bits = DCB.ByteSize + 2u + (DCB.Parity != NoParity ? 1u : 0u) + (DCB.StopBits != OneStopBit ? 1u : 0u);
    prev = LastBaud ? LastBaud : 115200;
  }
  // Time for the last characters in the UART to leave: 18 characters at the previous rate, in
  // units of 100 ns.
  unsigned long t = (10000000ul / prev) * bits * 18ul;
  if (t < 10000)
    t *= 2;
  const unsigned long ms = t / 10000 + (t % 10000 ? 1 : 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int TApdBaseDispatcher::ApplyLineState() {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (!DTRAuto)
    SetDtrControl(DCB, DTRState ? DtrControlEnable : DtrControlDisable);
  if (!RTSAuto && RtsControl(DCB) != RtsControlToggle)
    SetRtsControl(DCB, RTSState ? RtsControlEnable : RtsControlDisable);
  const int result = WriteLineState(DCB);
  if (result != 0)
    return result;
  LastBaud = DCB.BaudRate;
  EscapeLine(DTRState ? EscSetDtr : EscClrDtr);
  if (!RS485Mode)
    EscapeLine(RTSState ? EscSetRts : EscClrRts);
  return 0;
}

int TApdBaseDispatcher::SetDtr(bool on) {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (DTRAuto)
    return 1;
  const int result = EscapeLine(on ? EscSetDtr : EscClrDtr);
  DTRState = on;
  return result != 0 ? -ecBadArgument : 0;
}

int TApdBaseDispatcher::SetRts(bool on) {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (RTSAuto)
    return 1;
  const int result = EscapeLine(on ? EscSetRts : EscClrRts);
  RTSState = on;
  return result != 0 ? -ecBadArgument : 0;
}

int TApdBaseDispatcher::HWFlowOptions(unsigned bufferFull, unsigned bufferResume, unsigned options) {
  if (bufferFull < bufferResume || bufferFull > InSize)
    return -ecBadArgument;
  std::lock_guard<TCriticalSection> state(StateLock);
  if (ReadLineState(DCB) != 0)
    return -ErrorInvalidHandle;
  DCB.Flags &= ~(dcbOutxCtsFlow | dcbOutxDsrFlow | dcbDtrControlMask | dcbRtsControlMask);
  DTRAuto = (options & hfUseDTR) != 0;
  RTSAuto = (options & hfUseRTS) != 0;
  if (DTRAuto)
    SetDtrControl(DCB, DtrControlHandshake);
  else if (DTRState)
    SetDtrControl(DCB, DtrControlEnable);
  if (RTSAuto)
    SetRtsControl(DCB, RtsControlHandshake);
  else if (RS485Mode)
    SetRtsControl(DCB, RtsControlToggle);
  else if (RTSState)
    SetRtsControl(DCB, RtsControlEnable);
  DCB.XoffLim = static_cast<uint16_t>(InSize - bufferFull);
  DCB.XonLim = static_cast<uint16_t>(bufferResume);
  if (options & hfRequireDSR)
    DCB.Flags |= dcbOutxDsrFlow;
  if (options & hfRequireCTS)
    DCB.Flags |= dcbOutxCtsFlow;
  return ApplyLineState();
}

int TApdBaseDispatcher::SWFlowOptions(unsigned bufferFull, unsigned bufferResume, unsigned options) {
  if (bufferFull < bufferResume || bufferFull > InSize)
    return -ecBadArgument;
  std::lock_guard<TCriticalSection> state(StateLock);
  if (ReadLineState(DCB) != 0)
    return -ErrorInvalidHandle;
  DCB.Flags &= ~(dcbInX | dcbOutX);
  if (options & sfReceiveFlow) {
    DCB.Flags |= dcbInX;
    DCB.XoffLim = static_cast<uint16_t>(InSize - bufferFull);
    DCB.XonLim = static_cast<uint16_t>(bufferResume);
  }
  if (options & sfTransmitFlow)
    DCB.Flags |= dcbOutX;
  if (options & (sfReceiveFlow | sfTransmitFlow)) {
    DCB.XonChar = 17;
    DCB.XoffChar = 19;
  }
  return ApplyLineState();
}

int TApdBaseDispatcher::SWFlowDisable() {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (ReadLineState(DCB) != 0)
    return -ErrorInvalidHandle;
  DCB.Flags &= ~(dcbInX | dcbOutX);
  return ApplyLineState();
}

int TApdBaseDispatcher::SetFlowChars(char xon, char xoff) {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (ReadLineState(DCB) != 0)
    return -ErrorInvalidHandle;
  DCB.XonChar = xon;
  DCB.XoffChar = xoff;
  return ApplyLineState();
}

void TApdBaseDispatcher::SetRS485Mode(bool on) {
  std::lock_guard<TCriticalSection> state(StateLock);
  RS485Mode = on;
}

int TApdBaseDispatcher::SetCommBuffers(int inSize, int outSize) {
  const int result = SizeQueues(inSize, outSize);
  return result ? -result : 0;
}

void TApdBaseDispatcher::RefreshModemStatus() {
  uint32_t status = 0;
  ReadModemStatus(status);
  const uint8_t old = ModemStatus_.load();
  uint8_t delta = static_cast<uint8_t>(((old ^ status) & ModemLineBits) >> ModemChangeShift);
  if (RingFlag.exchange(false))
    delta |= RingChangeBit;
  ModemStatus_.store(static_cast<uint8_t>((status & ModemLineBits) | delta));
}

// ---------------------------------------------------------------------------------------------
// Sending

unsigned TApdBaseDispatcher::OutBuffUsed() {
  std::lock_guard<TCriticalSection> out(OutputLock);
  return OutputBuffer.Used();
}

unsigned TApdBaseDispatcher::OutBuffFree() {
  std::lock_guard<TCriticalSection> out(OutputLock);
  return OutputBuffer.Free();
}

int TApdBaseDispatcher::PutBlock(const void *block, unsigned count) {
  // A device that went away still takes bytes: the output thread drops what it cannot write, and
  // the missing answer tells the user that the link is lost.
  if (!OutputBuffer.Allocated() || !DeviceOpen())
    return -ecCommNotOpen;
  TComStat stat;
  ReadErrors(stat);
  const auto *bytes = static_cast<const uint8_t *>(block);
  // Queued without holding OutputLock here: the output thread that the queueing wakes takes
  // that lock first, and would otherwise wait to be woken again when this thread lets go.
  if (QueueOutput(bytes, count) < 0)
    return -ecOutputBufferTooSmall;
  std::lock_guard<TCriticalSection> state(StateLock);
  if (TraceOn)
    for (unsigned i = 0; i < count; ++i)
      AddTrace('T', bytes[i]);
  if (LogOn)
    AddLog(lkQueue, lsBytes, count, bytes, count);
  return 0;
}

// All of the bytes or none; the output thread is signalled once the lock is let go.
int TApdBaseDispatcher::QueueOutput(const uint8_t *bytes, unsigned count) {
  {
    std::lock_guard<TCriticalSection> out(OutputLock);
    if (count > OutputBuffer.Free())
      return -ecOutputBufferTooSmall;
    if (count == 0)
      return 0;
    OutputBuffer.Put(bytes, count);
  }
  OutputQueued->Set();
  return static_cast<int>(count);
}

// The output thread empties the ring itself before it acknowledges a flush: once the purging
// thread holds the acknowledgement, no write of the old bytes can start or finish any more.
void TApdBaseDispatcher::AcknowledgeFlush() {
  {
    std::lock_guard<TCriticalSection> out(OutputLock);
    OutputBuffer.Clear();
  }
  Ack->Set();
}

void TApdBaseDispatcher::AdvanceTail(unsigned count) {
  std::lock_guard<TCriticalSection> out(OutputLock);
  if (count == 0)
    return;
  OutputBuffer.Skip(count);
  // Written out: the next bytes start at the beginning again.
  if (OutputBuffer.Used() == 0)
    OutputBuffer.Clear();
}

// The output thread's pass: write what waits, one contiguous block at a time.
void TApdBaseDispatcher::OutputWriteLoop() {
  while (!KillThreads.load() && !StopRequested.load()) {
    if (FlushRequest->Claim()) {
      AcknowledgeFlush();
      return;
    }
    const uint8_t *chunk;
    unsigned length;
    {
      std::lock_guard<TCriticalSection> out(OutputLock);
      chunk = OutputBuffer.Gather(length);
      if (length == 0)
        return;
    }
    unsigned written = 0;
    const int result = WriteDevice(chunk, length, written);
    if (result == ErrorOperationAborted) {
      AcknowledgeFlush();
      return;
    }
    // A failed write drops its chunk, as a completed one is done with.
    AdvanceTail(length);
    std::lock_guard<TCriticalSection> state(StateLock);
    if (LogOn)
      AddLog(lkWrite, result == 0 ? lsDone : lsFailed, written, nullptr, 0);
  }
}

// ---------------------------------------------------------------------------------------------
// Receiving

unsigned TApdBaseDispatcher::InBuffUsed() {
  std::lock_guard<TCriticalSection> in(InputLock);
  return DispatchBuffer.Used();
}

void TApdBaseDispatcher::FillDispatchBuffer() {
  std::lock_guard<TCriticalSection> in(InputLock);
  if (!DispatchBuffer.Allocated() || DispatchBuffer.Full())
    return;
  TComStat stat;
  ReadErrors(stat);
  if (stat.cbInQue == 0)
    return;
  unsigned want = std::min(DispatchBuffer.Free(), static_cast<unsigned>(stat.cbInQue));
  // At most two reads: up to the end of the buffer, then on from its start.
  for (int piece = 0; piece < 2 && want > 0; ++piece) {
    unsigned room;
    uint8_t *into = DispatchBuffer.Room(room);
    const unsigned wanted = std::min(want, room);
    const unsigned got = ReadInto(into, wanted);
    if (got < room)
      break;
    want -= got;
  }
}

// One read of the device into the receive ring; a failed read counts as none.
unsigned TApdBaseDispatcher::ReadInto(uint8_t *into, unsigned count) {
  if (count == 0)
    return 0;
  const int got = ReadDevice(into, count);
  if (got <= 0)
    return 0;
  DispatchBuffer.Produced(static_cast<unsigned>(got));
  NoteUnread();
  DataArrived += static_cast<unsigned>(got);
  std::lock_guard<TCriticalSection> state(StateLock);
  if (LogOn)
    AddLog(lkRead, lsBytes, static_cast<uint32_t>(got), nullptr, 0);
  return static_cast<unsigned>(got);
}

bool TApdBaseDispatcher::RecipientRead() const {
  return NotifyData && NotifyThread == std::this_thread::get_id();
}

bool TApdBaseDispatcher::CharReady() {
  // Only a recipient reading inside a data notification counts differently, and it is the
  // dispatch thread itself, which has set InNotify before calling it.
  if (!InNotify.load())
    return Unread.load(std::memory_order_acquire) > 0;
  std::lock_guard<TCriticalSection> in(InputLock);
  return DispatchBuffer.Used() > (RecipientRead() ? NotifyRead : 0);
}

int TApdBaseDispatcher::PeekChar(unsigned n) {
  std::lock_guard<TCriticalSection> in(InputLock);
  const unsigned skip = RecipientRead() ? NotifyRead : 0;
  if (n == 0 || DispatchBuffer.Used() < skip + n)
    return -ecBufferIsEmpty;
  return DispatchBuffer.Peek(skip + n - 1);
}

int TApdBaseDispatcher::GetChar(uint8_t &c) {
  std::lock_guard<TCriticalSection> in(InputLock);
  const int peeked = PeekChar(1);
  if (peeked < 0)
    return peeked;
  c = static_cast<uint8_t>(peeked);
  if (RecipientRead())
    ++NotifyRead;
  else
    DispatchBuffer.Skip(1);
  NoteUnread();
  std::lock_guard<TCriticalSection> state(StateLock);
  if (TraceOn)
    AddTrace('R', c);
  return 0;
}

// ---------------------------------------------------------------------------------------------
// The dispatch thread's work

void TApdBaseDispatcher::ProcessEvent(uint32_t mask) {
  if (mask & ModemEventBits)
    RefreshModemStatus();
  if (mask & LineEventBits) {
    TComStat stat;
    ReadErrors(stat);
  }
  FillDispatchBuffer();
  if (!InNotify.load())
    ScanAndNotify();
}

void TApdBaseDispatcher::ProcessTick() {
  FillDispatchBuffer();
  if (!InNotify.load())
    ScanAndNotify();
}

void TApdBaseDispatcher::ScanAndNotify() {
  bool any;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    any = !ProcHandlers.empty();
  }
  unsigned unread;
  {
    std::lock_guard<TCriticalSection> in(InputLock);
    if (!DispatchBuffer.Allocated() || !any || NotifyThreshold == 0 || DataArrived == LastNotified)
      return;
    unread = DispatchBuffer.Used();
    if (unread < NotifyThreshold)
      return;
    LastNotified = DataArrived;
  }
  Notify(apw_TriggerAvail, unread);
}

void TApdBaseDispatcher::RegisterProcTriggerHandler(TApdNotifyProc proc) {
  std::lock_guard<TCriticalSection> state(StateLock);
  ProcHandlers.push_back(std::move(proc));
}

void TApdBaseDispatcher::Notify(unsigned msg, unsigned wParam) {
  std::vector<TApdNotifyProc> handlers;
  const bool data = msg == apw_TriggerAvail || msg == apw_TriggerData;
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    handlers = ProcHandlers;
    InNotify.store(true);
  }
  {
    std::lock_guard<TCriticalSection> in(InputLock);
    NotifyThread = std::this_thread::get_id();
    NotifyData = data;
    NotifyMaxRead = 0;
  }
  const long lParam = static_cast<long>(static_cast<unsigned long>(Handle_) << 16);
  for (auto &handler : handlers) {
    {
      std::lock_guard<TCriticalSection> in(InputLock);
      NotifyRead = 0;
    }
    handler(msg, wParam, lParam);
    std::lock_guard<TCriticalSection> in(InputLock);
    NotifyMaxRead = std::max(NotifyMaxRead, NotifyRead);
    if (StopRequested.load())
      break;
  }
  {
    std::lock_guard<TCriticalSection> in(InputLock);
    if (NotifyData && NotifyMaxRead > 0)
      DispatchBuffer.Skip(std::min(NotifyMaxRead, DispatchBuffer.Used()));
    NoteUnread();
    NotifyData = false;
    NotifyRead = NotifyMaxRead = 0;
    NotifyThread = std::thread::id();
  }
  InNotify.store(false);
}
