#include "serial/AdPort.h"

#include "platform/CommDevice.h"
#include "platform/SyncObjects.h"
#include "os/OsError.h"
#include "runtime/Dialogs.h"
#include "serial/AdExcept.h"
#include "serial/AdPortWindow.h"
#include "serial/AdSelCom.h"
#include "serial/AwWin32.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <system_error>

namespace {

// The OS's "access denied" means another program holds the port; "file/path not found" that
// there is no such port.
int TranslateOpenResult(int result) {
  switch (result) {
  case -ErrorAccessDenied:
    return -ecAlreadyOpen;
  case -ErrorFileNotFound:
  case -ErrorPathNotFound:
    return -ecBadId;
  default:
    return result;
  }
}

// Runs `step` and keeps the first exception it raises, so that a sequence can run to its end.
template <typename F> void Collect(std::exception_ptr &first, F &&step) {
  try {
    step();
  } catch (...) {
    if (!first)
      first = std::current_exception();
  }
}

} // namespace

TApdCustomComPort::TApdCustomComPort(QObject *owner) : QObject(owner) {}

std::unique_ptr<TApdBaseDispatcher> TApdCustomComPort::CreateDispatcher() { return nullptr; }

TApdCustomComPort::~TApdCustomComPort() {
  try {
    if (PortState_ == psOpen)
      ClosePort();
  } catch (...) {
    // A destructor cannot report; the port is closed below in any case.
  }
  if (Dispatcher_) {
    // A deferred close still running: the dispatcher's destructor ends its threads.
    Dispatcher_.reset();
    PortState_ = psClosed;
  }
  DropWindow();
}

// ---------------------------------------------------------------------------------------------
// Open and close

void TApdCustomComPort::CheckPortNumber() {
  if (ComNumber_ != 0)
    return;
  if (!PromptForPort_ || !qobject_cast<QApplication *>(QCoreApplication::instance()))
    throw ENoPortSelected(-ecNoPortSelected);
  const int chosen = TComSelectForm::ChoosePort();
  if (chosen <= 0)
    throw ENoPortSelected(-ecNoPortSelected);
  ComNumber_ = static_cast<uint16_t>(chosen);
}

void TApdCustomComPort::OpenPort() {
  if (PortState_ == psOpen)
    return;
  if (PortState_ == psClosing) {
    ReopenPending_ = true;
    return;
  }
  if (TapiMode_ != tmOn)
    CheckPortNumber();
  std::unique_ptr<TApdBaseDispatcher> dispatcher = NewDispatcher();
  // From here on a failure frees the dispatcher and leaves the port closed.
  try {
    if (!OpenDevice(*dispatcher))
      return; // loading: the failure is not raised, and the port stays closed
    Dispatcher_ = std::move(dispatcher);
    PortState_ = psOpen;
    UpdateHandlerFlags();
    ApplyOpenSettings();
    Open_ = true;
    AttachWindow();
  } catch (const std::system_error &) {
    // No descriptor left for an event or a thread: reported as the OS would.
    AbandonOpen(dispatcher);
    CheckError(this, -ErrorTooManyOpenFiles);
    throw;
  } catch (...) {
    AbandonOpen(dispatcher);
    throw;
  }
  NotifyListeners(true);
}

std::unique_ptr<TApdBaseDispatcher> TApdCustomComPort::NewDispatcher() {
  std::unique_ptr<TApdBaseDispatcher> dispatcher = CreateDispatcher();
  if (dispatcher)
    return dispatcher;
  // The telephony dispatcher is not part of this program: the plain one serves every mode.
  if (DeviceLayer_ != dlWin32)
    throw ENullApi(-ecNullApi);
  return std::make_unique<TApdWin32Dispatcher>(this);
}

bool TApdCustomComPort::OpenDevice(TApdBaseDispatcher &dispatcher) {
  if (!DataArrived_)
    DataArrived_ = std::make_shared<TEvent>(false);
  DataArrived_->Reset();
  // An I/O thread that fails ends, and the port moves no more bytes: the user must hear of it,
  // in the error box, which only the user-interface thread may show.
  dispatcher.ThreadFailure = [](const std::string &message) {
    if (QCoreApplication *app = QCoreApplication::instance())
      QMetaObject::invokeMethod(
          app, [message] { ShowErrorBox(message); }, Qt::QueuedConnection);
    else
      std::fprintf(stderr, "kstune: serial thread ended: %s\n", message.c_str());
  };
  const int result = TranslateOpenResult(dispatcher.OpenDispatcher(
      ComPortName(ComNumber_), Baud_, Parity_, DataBits_, StopBits_, InSize_, OutSize_, DTR_, RTS_));
  return CheckError(this, result) == 0;
}

// The notification window, and the dispatcher's notifications handed over to it.
void TApdCustomComPort::AttachWindow() {
  Window_ = std::make_unique<TApdPortWindow>(*this);
  TApdPortWindow *window = Window_.get();
  auto arrived = DataArrived_;
  auto wantTriggers = WantTriggers_;
  // Runs on the dispatch thread: only signal and post, never touch the component.
  Dispatcher_->RegisterProcTriggerHandler([arrived, wantTriggers, window](unsigned msg, unsigned w, long l) {
    if (msg == apw_TriggerAvail)
      arrived->Set();
    if (wantTriggers->load())
      window->Post(msg, w, l);
  });
  // While closing, the wait for the threads delivers what they posted to the window.
  Dispatcher_->MessagePump = [window] { window->DeliverPosted(); };
}

void TApdCustomComPort::AbandonOpen(std::unique_ptr<TApdBaseDispatcher> &dispatcher) {
  Force_ = false;
  Open_ = false;
  PortState_ = psClosed;
  Dispatcher_.reset();
  dispatcher.reset();
  DropWindow();
}

// The stored settings go to the freshly opened port, whether or not they differ from its own.
void TApdCustomComPort::ApplyOpenSettings() {
  Force_ = true;
  SetTracing(Trace_.State());
  SetLogging(Log_.State());
  SetHWFlowOptions(HWFlowOptions_);
  SetSWFlowOptions(SWFlowOptions_);
  SetXOnChar(XOnChar_);
  SetXOffChar(XOffChar_);
  Dispatcher_->SetDataAvailableLevel(1);
  SetDTR(DTR_);
  if (DeviceLayer_ != dlFossil)
    SetRTS(RTS_);
  SetUseMSRShadow(UseMSRShadow_);
  SetUseEventWord(UseEventWord_);
  SetCommNotificationLevel(CommNotificationLevel_);
  SetRS485Mode(RS485Mode_);
  CheckError(this, Dispatcher_->SetThreadBoost(0));
  Force_ = false;
}

void TApdCustomComPort::ClosePort() {
  Open_ = false;
  if (PortState_ != psOpen)
    return;
  // The close runs to its end; the first failure met on the way is raised afterwards.
  std::exception_ptr failure;
  if (Trace_.Running())
    Collect(failure, [&] { SetTracing(tlDump); });
  if (Log_.Running())
    Collect(failure, [&] { SetLogging(tlDump); });
  PortState_ = psClosing;
  Collect(failure, [&] { NotifyListeners(false); });
  Dispatcher_->ShutDown();
  if (Dispatcher_->InNotification()) {
    // The dispatcher is still delivering: finish once it is done.
    Window_->Post(apw_ClosePending, 0, 0);
    Window_->DeliverPosted();
  } else {
    FinishClose();
  }
  if (failure)
    std::rethrow_exception(failure);
}

void TApdCustomComPort::FinishClose() {
  Dispatcher_.reset();
  DropWindow();
  PortState_ = psClosed;
}

void TApdCustomComPort::DropWindow() {
  if (Window_)
    Window_.release()->Discard();
}

void TApdCustomComPort::ClosePendingArrived() {
  if (PortState_ != psClosing || !Dispatcher_)
    return;
  if (Dispatcher_->InNotification() || Dispatcher_->ThreadsRunning()) {
    Window_->Post(apw_ClosePending, 0, 0);
    return;
  }
  Dispatcher_.reset();
  DropWindow();
  PortState_ = psClosed;
  if (ReopenPending_) {
    ReopenPending_ = false;
    OpenPort();
  }
}

void TApdCustomComPort::SetOpen(bool value) {
  if (value == Open_)
    return;
  if (IsLoading()) {
    Open_ = value;
    OpenWhileLoading_ = value;
    return;
  }
  if (!value)
    ClosePort();
  else if (PortState_ == psClosed)
    OpenPort();
  else if (PortState_ == psClosing)
    ReopenPending_ = true;
}

void TApdCustomComPort::Loaded() {
  SetLoading(false);
  if (!OpenWhileLoading_)
    return;
  OpenWhileLoading_ = false;
  try {
    OpenPort();
  } catch (const std::exception &e) {
    Open_ = false;
    ShowErrorBox(e.what());
  }
}

void TApdCustomComPort::SetComNumber(uint16_t value) {
  if (value == ComNumber_)
    return;
  if (PortState_ != psOpen) {
    ComNumber_ = value;
    return;
  }
  const TTraceLogState tracing = Trace_.State();
  const TTraceLogState logging = Log_.State();
  ClosePort();
  ComNumber_ = value;
  SetTracing(tracing);
  SetLogging(logging);
  OpenPort();
}

// ---------------------------------------------------------------------------------------------
// Listeners and notifications

int TApdCustomComPort::RegisterUserCallback(TPortCallback callback) {
  Listeners_.push_back({NextListenerId_, std::move(callback)});
  return NextListenerId_++;
}

void TApdCustomComPort::DeregisterUserCallback(int id) {
  std::erase_if(Listeners_, [id](const TListener &l) { return l.Id == id; });
}

void TApdCustomComPort::NotifyListeners(bool opening) {
  // A copy: a listener may deregister itself.
  const auto listeners = Listeners_;
  for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
    it->Callback(*this, opening);
  const TPortEvent &event = opening ? OnPortOpen_ : OnPortClose_;
  if (event)
    event(*this);
}

bool TApdCustomComPort::HasTriggerHandlers() const {
  return OnTrigger_ || OnTriggerAvail_ || OnTriggerData_ || OnTriggerStatus_ || OnTriggerTimer_ ||
         OnTriggerLineError_ || OnTriggerModemStatus_ || OnTriggerOutbuffFree_ || OnTriggerOutbuffUsed_ ||
         OnTriggerOutSent_;
}

void TApdCustomComPort::UpdateHandlerFlags() {
  const bool any = HasTriggerHandlers();
  WantTriggers_->store(any);
  if (Dispatcher_)
    Dispatcher_->UpdateHandlerFlags(any ? 1 : 2);
}

void TApdCustomComPort::HandleNotification(unsigned msg, unsigned wParam, long lParam) {
  if (PortState_ != psOpen)
    return;
  if (OnTrigger_)
    OnTrigger_(*this, msg, static_cast<unsigned>(lParam & 0xFFFF), static_cast<long>(wParam));
  switch (msg) {
  case apw_TriggerAvail:
    if (OnTriggerAvail_)
      OnTriggerAvail_(*this, wParam);
    break;
  case apw_TriggerData:
    if (OnTriggerData_)
      OnTriggerData_(*this, wParam);
    break;
  case apw_TriggerTimer:
    if (OnTriggerTimer_)
      OnTriggerTimer_(*this, wParam);
    break;
  case apw_TriggerStatus:
    if (OnTriggerStatus_)
      OnTriggerStatus_(*this, wParam);
    break;
  default:
    break;
  }
}

void TApdCustomComPort::SetOnTrigger(TTriggerEvent handler) {
  OnTrigger_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent handler) {
  OnTriggerAvail_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerData(TTriggerHandleEvent handler) {
  OnTriggerData_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerStatus(TTriggerHandleEvent handler) {
  OnTriggerStatus_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerTimer(TTriggerHandleEvent handler) {
  OnTriggerTimer_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent handler) {
  OnTriggerLineError_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerModemStatus(TPortEvent handler) {
  OnTriggerModemStatus_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerOutbuffFree(TPortEvent handler) {
  OnTriggerOutbuffFree_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerOutbuffUsed(TPortEvent handler) {
  OnTriggerOutbuffUsed_ = std::move(handler);
  UpdateHandlerFlags();
}
void TApdCustomComPort::SetOnTriggerOutSent(TPortEvent handler) {
  OnTriggerOutSent_ = std::move(handler);
  UpdateHandlerFlags();
}

// ---------------------------------------------------------------------------------------------
// Byte operations

TApdBaseDispatcher &TApdCustomComPort::ValidDispatcher() {
  if (!Dispatcher_ && AutoOpen_ && !IsLoading())
    OpenPort();
  if (!Dispatcher_)
    throw ECommNotOpen(-ecCommNotOpen);
  return *Dispatcher_;
}

namespace {
TApdCustomComPort::TByteTap &ByteTap() {
  static TApdCustomComPort::TByteTap tap;
  return tap;
}
} // namespace

void TApdCustomComPort::SetByteTap(TByteTap tap) { ByteTap() = std::move(tap); }

void TApdCustomComPort::SendByte(uint8_t c) {
  if (PortState_ == psClosing)
    return;
  CheckError(this, ValidDispatcher().PutChar(c));
  if (ByteTap())
    ByteTap()('T', c);
}

bool TApdCustomComPort::ByteReady() {
  if (PortState_ == psClosing)
    return false;
  return ValidDispatcher().CharReady();
}

uint8_t TApdCustomComPort::ReadByte() {
  if (PortState_ == psClosing)
    return 0;
  uint8_t c = 0;
  CheckError(this, ValidDispatcher().GetChar(c));
  if (ByteTap())
    ByteTap()('R', c);
  return c;
}

bool TApdCustomComPort::WaitByteReady(int timeoutMs) {
  if (PortState_ == psClosing)
    return false;
  TApdBaseDispatcher &d = ValidDispatcher();
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (d.CharReady())
      return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return false;
    // The notification comes within one pass of the dispatch thread after the bytes are
    // stored; the slice only bounds a wake-up that a notification in progress held back.
    DataArrived_->Wait(static_cast<int>(std::min<long long>(left, DispatchTickMs)));
  }
}

void TApdCustomComPort::PurgeInput() {
  if (PortState_ == psClosing)
    return;
  CheckError(this, ValidDispatcher().FlushInBuffer());
}

void TApdCustomComPort::PurgeOutput() {
  if (PortState_ == psClosing)
    return;
  CheckError(this, ValidDispatcher().FlushOutBuffer());
}
