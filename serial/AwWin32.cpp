#include "serial/AwWin32.h"

#include "runtime/Exception.h"

#include <chrono>

TApdWin32Dispatcher::TApdWin32Dispatcher(void *owner) : TApdBaseDispatcher(owner) {}

TApdWin32Dispatcher::~TApdWin32Dispatcher() {
  if (StopRequested.load())
    ReleaseBuffers();
  else
    ShutDown();
  StopThreads();
}

int TApdWin32Dispatcher::OpenDevice(const std::string &name, int, int) {
  const int error = TCommDevice::Open(name, Device);
  return error ? -error : 0;
}

int TApdWin32Dispatcher::CloseDevice() {
  // The threads use the descriptor until they have ended: stop and join them first.
  StopThreads();
  Device.reset();
  return 0;
}

void TApdWin32Dispatcher::CloseDeviceFromDispatchThread() {
  KillThreads.store(true);
  if (OutThread) {
    FlushRequest->Set();
    OutThread->Join();
  }
  if (ComThread) {
    Device->SetMask(0);
    EventDone->Set();
    ComThread->Join();
  }
  // The dispatch thread is this one: it sees the stop flag when the recipient returns, and the
  // dispatcher's destructor joins it and frees the rest.
  Device.reset();
}

int TApdWin32Dispatcher::EscapeLine(int function) {
  if (Device)
    Device->Escape(function);
  return 0;
}

int TApdWin32Dispatcher::PurgeQueue(uint32_t which) {
  if (!Device)
    return -ErrorInvalidHandle;
  int result = 0;
  if (which & (PurgeRxAbort | PurgeRxClear)) {
    std::lock_guard<TCriticalSection> in(InputLock);
    result = Device->Purge(which & (PurgeRxAbort | PurgeRxClear));
    // During a data notification the read index moves when it ends, by what was read.
    if (NotifyData)
      NotifyMaxRead = DispatchBuffer.Used();
    else
      DispatchBuffer.Skip(DispatchBuffer.Used());
    NoteUnread();
  }
  if (which & (PurgeTxAbort | PurgeTxClear)) {
    if (OutThread && !OutThread->Ended() && FlushRequest && Ack) {
      Ack->Reset();
      FlushRequest->Set();
      // The output thread acknowledges as soon as it leaves its write; stop waiting only if it
      // has ended meanwhile.
      while (!Ack->Wait(100) && !OutThread->Ended()) {
      }
    }
    std::lock_guard<TCriticalSection> out(OutputLock);
    OutputBuffer.Clear();
    const int txResult = Device->Purge(which & (PurgeTxAbort | PurgeTxClear));
    if (result == 0)
      result = txResult;
  }
  return result ? -result : 0;
}

uint32_t TApdWin32Dispatcher::ReadErrors(TComStat &stat) {
  stat = TComStat{};
  if (!Device)
    return 0;
  uint32_t errors = 0;
  // The output count is the ring's, not the kernel's.
  if (Device->ClearError(errors, stat, false) != 0)
    return 0;
  LastError.fetch_or(errors & LineErrorBits);
  stat.cbOutQue = OutBuffUsed();
  return errors;
}

unsigned TApdWin32Dispatcher::DeviceOutQueue() {
  if (!Device || Device->Lost())
    return 0;
  uint32_t errors;
  TComStat stat;
  return Device->ClearError(errors, stat) == 0 ? stat.cbOutQue : 0;
}

int TApdWin32Dispatcher::ReadLineState(TDcb &dcb) { return Device && Device->GetState(dcb) == 0 ? 0 : -1; }

int TApdWin32Dispatcher::WriteLineState(const TDcb &dcb) {
  if (!Device)
    return -ErrorInvalidHandle;
  const int error = Device->SetState(dcb);
  return error ? -error : 0;
}

int TApdWin32Dispatcher::ReadDevice(uint8_t *buffer, unsigned count) {
  size_t got = 0;
  const int error = Device->Read(buffer, count, got);
  if (error) {
    NoteReadFailure(error);
    return 0;
  }
  return static_cast<int>(got);
}

int TApdWin32Dispatcher::WriteDevice(const uint8_t *bytes, unsigned count, unsigned &written) {
  size_t done = 0;
  const int error = Device->Write(bytes, count, done, FlushRequest.get());
  written = static_cast<unsigned>(done);
  return error;
}

int TApdWin32Dispatcher::WaitEvent(uint32_t &mask) { return Device->WaitEvent(mask); }

int TApdWin32Dispatcher::SizeQueues(int inSize, int outSize) {
  if (!Device)
    return ErrorInvalidHandle;
  return Device->SetupQueues(static_cast<uint32_t>(inSize), static_cast<uint32_t>(outSize));
}

int TApdWin32Dispatcher::ReadModemStatus(uint32_t &status) {
  status = 0;
  return Device ? Device->GetModemStatus(status) : 0;
}

void TApdWin32Dispatcher::StartThreads() {
  std::lock_guard<TCriticalSection> state(StateLock);
  if (ThreadsStarted.load() || ComThread || DispThread || OutThread)
    throw Exception("Dispatcher already started");
  ThreadsStarted.store(true);
  KillThreads.store(false);
  Ack->Reset();
  ComThread = std::make_unique<TComThread>(*this);
  ComThread->Start();
  Ack->Wait(ThreadStartTimeoutMs);
  DispThread = std::make_unique<TDispThread>(*this);
  DispThread->Start();
  Ack->Wait(ThreadStartTimeoutMs);
  OutThread = std::make_unique<TOutThread>(*this);
  OutThread->Start();
  Ack->Wait(ThreadStartTimeoutMs);
}

void TApdWin32Dispatcher::StopThreads() {
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    if (!ComThread && !DispThread && !OutThread)
      return;
    KillThreads.store(true);
  }
  // No dispatcher lock is held while waiting: the threads may need one to finish their pass.
  if (OutThread) {
    FlushRequest->Set();
    WaitForThread(OutThread.get());
  }
  if (ComThread) {
    if (Device)
      Device->SetMask(0);
    EventDone->Set();
    WaitForThread(ComThread.get());
  }
  if (DispThread) {
    EventArrived->Set();
    WaitForThread(DispThread.get());
  }
  {
    std::lock_guard<TCriticalSection> state(StateLock);
    OutThread.reset();
    ComThread.reset();
    DispThread.reset();
    ThreadsStarted.store(false);
  }
  EventArrived.reset();
  EventDone.reset();
  Ack.reset();
  OutputQueued.reset();
  FlushRequest.reset();
  WriteComplete.reset();
}

// ---------------------------------------------------------------------------------------------

void TComThread::Execute() {
  auto &d = static_cast<TApdWin32Dispatcher &>(H);
  // Reads return at once with what is present and writes have no time-out by construction
  // of the device; only the event mask is set here.
  d.Device->SetMask(DefaultEventMask);
  d.Ack->Set();
  while (!d.KillThreads.load()) {
    uint32_t mask = 0;
    // A failed wait (the device hung up) ends the thread: the port is lost, nothing to wait for.
    if (d.WaitEvent(mask) != 0)
      break;
    if (mask & (EvRing | EvRingTe))
      d.RingFlag.store(true);
    if (d.KillThreads.load())
      break;
    d.LastEvent.store(mask);
    ++d.EventCount;
    // Lock-step with the dispatch thread: wait until it has taken what this event announced,
    // so that the next wait does not report the same bytes again.
    d.EventArrived->Set();
    d.EventDone->Wait(WaitInfinite);
  }
}

void TDispThread::Execute() {
  auto &d = H;
  d.Ack->Set();
  for (;;) {
    const bool arrived = d.EventArrived->Wait(DispatchTickMs);
    if (d.KillThreads.load() || d.StopRequested.load())
      break;
    if (arrived) {
      d.ProcessEvent(d.LastEvent.load());
      d.EventDone->Set();
    } else {
      d.ProcessTick();
    }
    if (d.KillThreads.load() || d.StopRequested.load())
      break;
  }
}

void TOutThread::Execute() {
  auto &d = H;
  d.Ack->Set();
  for (;;) {
    const uint32_t which = WaitForEvents(*d.OutputQueued, *d.FlushRequest, WaitInfinite);
    if (which == WaitObject0 + 1) {
      d.AcknowledgeFlush();
    } else if (which == WaitObject0) {
      if (d.KillThreads.load())
        break;
      d.OutputWriteLoop();
    } else {
      break;
    }
    if (d.KillThreads.load() || d.StopRequested.load())
      break;
  }
}
