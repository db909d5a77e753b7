#pragma once
// The dispatcher over the comm device, and its three threads: TComThread waits for port
// events, TDispThread moves received bytes into the receive ring, TOutThread writes queued
// bytes to the device.
#include "serial/AwUser.h"

// A class derived from this one calls ShutDown in its own destructor: the threads call the
// virtual operations until they have ended.
class TApdWin32Dispatcher : public TApdBaseDispatcher {
  friend class TComThread;

public:
  explicit TApdWin32Dispatcher(void *owner);
  ~TApdWin32Dispatcher() override;

  bool PortLost() const override { return Device && Device->Lost(); }

protected:
  int EscapeLine(int function) override;
  int PurgeQueue(uint32_t which) override;
  uint32_t ReadErrors(TComStat &stat) override;
  int ReadLineState(TDcb &dcb) override;
  int ReadDevice(uint8_t *buffer, unsigned count) override;
  int WriteLineState(const TDcb &dcb) override;
  int WaitEvent(uint32_t &mask) override;
  int SizeQueues(int inSize, int outSize) override;
  void StartThreads() override;
  void StopThreads() override;
  int OpenDevice(const std::string &name, int inSize, int outSize) override;
  int CloseDevice() override;
  void CloseDeviceFromDispatchThread() override;
  int ReadModemStatus(uint32_t &status) override;
  bool DeviceOpen() const override { return Device != nullptr; }
  unsigned DeviceOutQueue() override;
  int WriteDevice(const uint8_t *bytes, unsigned count, unsigned &written) override;

  std::unique_ptr<TCommDevice> Device;
};

class TComThread : public TApdDispatcherThread {
public:
  using TApdDispatcherThread::TApdDispatcherThread;

protected:
  void Execute() override;
};

class TDispThread : public TApdDispatcherThread {
public:
  using TApdDispatcherThread::TApdDispatcherThread;

protected:
  void Execute() override;
};

class TOutThread : public TApdDispatcherThread {
public:
  using TApdDispatcherThread::TApdDispatcherThread;

protected:
  void Execute() override;
};
