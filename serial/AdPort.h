#pragma once
// The serial port component: the port's configuration as properties, the open and close
// sequences, and the byte operations the station link uses. It owns its dispatcher while the
// port is open; every failure reaches the caller as an EAPDException.
//
// Used from the user-interface thread only. A typical connect:
//   port.SetInSize(100); port.SetOutSize(100); port.SetAutoOpen(false); port.SetLogHex(false);
//   port.SetDataBits(8); port.SetParity(pNone); port.SetStopBits(1); port.SetBaud(1200);
//   if (port.Open()) port.ClosePort();
//   port.SetComNumber(n); port.OpenPort(); port.SetOpen(true);
#include "serial/AwRecorder.h"
#include "serial/AwTypes.h"
#include "serial/OoMisc.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TApdBaseDispatcher;
class TApdPortWindow;
class TEvent;

enum TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum TApdPortState { psClosed, psClosing, psOpen };

// Hardware flow options: a set, combined with |.
enum THWFlowOption : unsigned { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };
using THWFlowOptions = unsigned;

class TApdCustomComPort;

// Port-state listeners and events. `opening` is true for port-opened, false for port-closed.
using TPortCallback = std::function<void(TApdCustomComPort &port, bool opening)>;
using TPortEvent = std::function<void(TApdCustomComPort &port)>;
// Trigger events; the dispatcher delivers them through the notification window.
using TTriggerEvent = std::function<void(TApdCustomComPort &port, unsigned msg, unsigned trigger, long data)>;
using TTriggerAvailEvent = std::function<void(TApdCustomComPort &port, unsigned count)>;
using TTriggerHandleEvent = std::function<void(TApdCustomComPort &port, unsigned trigger)>;
using TTriggerLineErrorEvent =
    std::function<void(TApdCustomComPort &port, unsigned lineError, bool lineBreak)>;
using TWaitCharEvent = std::function<void(TApdCustomComPort &port, char c)>;

class TApdCustomComPort : public QObject, public TApdBaseComponent {
  Q_OBJECT
  friend class TApdPortWindow;

public:
  // Without an owner the creator deletes it; with one it goes with its owner.
  explicit TApdCustomComPort(QObject *owner = nullptr);
  ~TApdCustomComPort() override;

  // The version of the layer; setting it has no effect.
  std::string Version() const { return "v3.00"; }
  void SetVersion(const std::string &) {}

  // --- Properties, in their declared order --------------------------------------------------
  TDeviceLayer DeviceLayer() const { return DeviceLayer_; }
  void SetDeviceLayer(TDeviceLayer value);
  uint16_t ComNumber() const { return ComNumber_; }
  void SetComNumber(uint16_t value);
  int32_t Baud() const { return Baud_; }
  void SetBaud(int32_t value);
  bool PromptForPort() const { return PromptForPort_; }
  void SetPromptForPort(bool value) { PromptForPort_ = value; }
  TParity Parity() const { return Parity_; }
  void SetParity(TParity value);
  uint16_t DataBits() const { return DataBits_; }
  void SetDataBits(uint16_t value);
  uint16_t StopBits() const { return StopBits_; }
  void SetStopBits(uint16_t value);
  uint16_t InSize() const { return InSize_; }
  void SetInSize(uint16_t value);
  uint16_t OutSize() const { return OutSize_; }
  void SetOutSize(uint16_t value);
  bool AutoOpen() const { return AutoOpen_; }
  void SetAutoOpen(bool value) { AutoOpen_ = value; }
  // The flag only; it never opens the port itself (SetOpen does).
  [[nodiscard]] bool Open() const { return Open_; }
  void SetOpen(bool value);
  bool DTR() const { return DTR_; }
  void SetDTR(bool value);
  bool RTS() const { return RTS_; }
  void SetRTS(bool value);
  THWFlowOptions HWFlowOptions() const { return HWFlowOptions_; }
  void SetHWFlowOptions(THWFlowOptions value);
  TSWFlowOptions SWFlowOptions() const { return SWFlowOptions_; }
  void SetSWFlowOptions(TSWFlowOptions value);
  char XOnChar() const { return XOnChar_; }
  void SetXOnChar(char value);
  char XOffChar() const { return XOffChar_; }
  void SetXOffChar(char value);
  uint16_t BufferFull() const { return BufferFull_; }
  void SetBufferFull(uint16_t value);
  uint16_t BufferResume() const { return BufferResume_; }
  void SetBufferResume(uint16_t value);
  TTraceLogState Tracing() const { return Trace_.State(); }
  void SetTracing(TTraceLogState value);
  uint32_t TraceSize() const { return Trace_.Size(); }
  void SetTraceSize(uint32_t value);
  const std::string &TraceName() const { return Trace_.Name(); }
  void SetTraceName(const std::string &value) { Trace_.SetName(value); }
  bool TraceHex() const { return Trace_.Hex(); }
  void SetTraceHex(bool value) { Trace_.SetHex(value); }
  bool TraceAllHex() const { return Trace_.AllHex(); }
  void SetTraceAllHex(bool value) { Trace_.SetAllHex(value); }
  TTraceLogState Logging() const { return Log_.State(); }
  void SetLogging(TTraceLogState value);
  uint32_t LogSize() const { return Log_.Size(); }
  void SetLogSize(uint32_t value);
  const std::string &LogName() const { return Log_.Name(); }
  void SetLogName(const std::string &value) { Log_.SetName(value); }
  bool LogHex() const { return Log_.Hex(); }
  void SetLogHex(bool value) { Log_.SetHex(value); }
  bool LogAllHex() const { return Log_.AllHex(); }
  void SetLogAllHex(bool value) { Log_.SetAllHex(value); }
  bool UseMSRShadow() const { return UseMSRShadow_; }
  void SetUseMSRShadow(bool value) { UseMSRShadow_ = value; }
  bool UseEventWord() const { return UseEventWord_; }
  void SetUseEventWord(bool value);
  uint16_t CommNotificationLevel() const { return CommNotificationLevel_; }
  void SetCommNotificationLevel(uint16_t value) { CommNotificationLevel_ = value; }
  TTapiMode TapiMode() const { return TapiMode_; }
  void SetTapiMode(TTapiMode value) { TapiMode_ = value; }
  bool RS485Mode() const { return RS485Mode_; }
  void SetRS485Mode(bool value);

  void SetOnTrigger(TTriggerEvent handler);
  void SetOnTriggerAvail(TTriggerAvailEvent handler);
  void SetOnTriggerData(TTriggerHandleEvent handler);
  void SetOnTriggerStatus(TTriggerHandleEvent handler);
  void SetOnTriggerTimer(TTriggerHandleEvent handler);
  void SetOnTriggerLineError(TTriggerLineErrorEvent handler);
  void SetOnTriggerModemStatus(TPortEvent handler);
  void SetOnTriggerOutbuffFree(TPortEvent handler);
  void SetOnTriggerOutbuffUsed(TPortEvent handler);
  void SetOnTriggerOutSent(TPortEvent handler);
  void SetOnWaitChar(TWaitCharEvent handler) { OnWaitChar_ = std::move(handler); }

  // Port-opened and port-closed events, fired after every listener.
  void SetOnPortOpen(TPortEvent handler) { OnPortOpen_ = std::move(handler); }
  void SetOnPortClose(TPortEvent handler) { OnPortClose_ = std::move(handler); }
  // Listeners of the port state; the result identifies the listener for deregistration.
  int RegisterUserCallback(TPortCallback callback);
  void DeregisterUserCallback(int id);

  // --- State and operations -----------------------------------------------------------------
  TApdPortState PortState() const { return PortState_; }
  // The dispatcher while the port is open or closing, else null.
  TApdBaseDispatcher *Dispatcher() const { return Dispatcher_.get(); }

  void OpenPort();
  void ClosePort();

  // Queues one byte; EOutputBufferTooSmall when the output buffer is full.
  void SendByte(uint8_t c);
  // True when a received byte waits; never waits.
  bool ByteReady();
  // Takes the oldest received byte; EBufferIsEmpty when none waits; never waits.
  uint8_t ReadByte();
  // Waits until a received byte is in the receive buffer (true) or timeoutMs has passed (false).
  // It wakes on the dispatcher's data-available notification, so an answer costs the wire time
  // and not the granularity of a polling sleep. Reads nothing; closing or closed as ByteReady.
  bool WaitByteReady(int timeoutMs);
  void PurgeInput();
  void PurgeOutput();

  // A live view of the bytes the dispatcher's trace records, for a readable record kept outside
  // the serial layer: ('T', byte) for each byte sent, ('R', byte) for each byte taken. One for the
  // whole program; empty by default. Set it while no byte operation runs.
  using TByteTap = std::function<void(char kind, uint8_t byte)>;
  static void SetByteTap(TByteTap tap);

  // Ends loading from a stored form: a port whose Open was stored True is opened now, and a
  // failure is shown through the standard error box with Open back to False.
  void Loaded();

protected:
  // A descendant may supply its own dispatcher; null means the one of DeviceLayer.
  virtual std::unique_ptr<TApdBaseDispatcher> CreateDispatcher();

private:
  TApdBaseDispatcher &ValidDispatcher();
  void CheckPortNumber();
  std::unique_ptr<TApdBaseDispatcher> NewDispatcher();
  // Opens the device through the dispatcher; false when that failed while loading.
  bool OpenDevice(TApdBaseDispatcher &dispatcher);
  void AttachWindow();
  void AbandonOpen(std::unique_ptr<TApdBaseDispatcher> &dispatcher);
  void ApplyOpenSettings();
  void ApplyHWFlow();
  void ApplySWFlow();
  void AdjustFlowThresholds();
  // The open port's trace or log; null while the port is not open.
  TApdRecording *OpenTrace();
  TApdRecording *OpenLog();
  bool HasTriggerHandlers() const;
  void UpdateHandlerFlags();
  void NotifyListeners(bool opening);
  void FinishClose();
  void DropWindow();
  void HandleNotification(unsigned msg, unsigned wParam, long lParam);
  void ClosePendingArrived();
  bool Applies() const { return PortState_ == psOpen && Dispatcher_; }

  TDeviceLayer DeviceLayer_ = dlWin32;
  uint16_t ComNumber_ = 0;
  int32_t Baud_ = 19200;
  bool PromptForPort_ = true;
  TParity Parity_ = pNone;
  uint16_t DataBits_ = 8;
  uint16_t StopBits_ = 1;
  uint16_t InSize_ = 4096;
  uint16_t OutSize_ = 4096;
  bool AutoOpen_ = true;
  bool Open_ = false;
  bool DTR_ = true;
  bool RTS_ = true;
  THWFlowOptions HWFlowOptions_ = 0;
  TSWFlowOptions SWFlowOptions_ = swfNone;
  char XOnChar_ = 17;
  char XOffChar_ = 19;
  uint16_t BufferFull_ = 0;
  uint16_t BufferResume_ = 0;
  TApdRecorder Trace_{MaxTraceSize, "SERX.TRC"};
  TApdRecorder Log_{MaxLogSize, "SERX.LOG"};
  bool UseMSRShadow_ = true;
  bool UseEventWord_ = true;
  uint16_t CommNotificationLevel_ = 10;
  TTapiMode TapiMode_ = tmAuto;
  bool RS485Mode_ = false;

  TTriggerEvent OnTrigger_;
  TTriggerAvailEvent OnTriggerAvail_;
  TTriggerHandleEvent OnTriggerData_, OnTriggerStatus_, OnTriggerTimer_;
  TTriggerLineErrorEvent OnTriggerLineError_;
  TPortEvent OnTriggerModemStatus_, OnTriggerOutbuffFree_, OnTriggerOutbuffUsed_, OnTriggerOutSent_;
  TWaitCharEvent OnWaitChar_;
  TPortEvent OnPortOpen_, OnPortClose_;

  struct TListener {
    int Id;
    TPortCallback Callback;
  };
  std::vector<TListener> Listeners_;
  int NextListenerId_ = 1;

  TApdPortState PortState_ = psClosed;
  std::unique_ptr<TApdBaseDispatcher> Dispatcher_;
  std::unique_ptr<TApdPortWindow> Window_;
  // Set by the dispatch thread on every data-available notification; WaitByteReady waits on it.
  std::shared_ptr<TEvent> DataArrived_;
  // The open applies every stored setting, equal to the port's or not.
  bool Force_ = false;
  bool ReopenPending_ = false;
  bool OpenWhileLoading_ = false;
  // Whether the owner has trigger handlers, read by the dispatch thread.
  std::shared_ptr<std::atomic<bool>> WantTriggers_ = std::make_shared<std::atomic<bool>>(false);
};

class TApdComPort : public TApdCustomComPort {
  Q_OBJECT

public:
  using TApdCustomComPort::TApdCustomComPort;
};
