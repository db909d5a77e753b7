// The port's property setters: line settings, flow control, trace and log. Each is stored and,
// while the port is open, handed to the dispatcher at once; the open and close sequence is in
// AdPort.cpp.
#include "serial/AdPort.h"

#include "serial/AdExcept.h"
#include "serial/AwUser.h"

// ---------------------------------------------------------------------------------------------
// Line settings

void TApdCustomComPort::SetDeviceLayer(TDeviceLayer value) {
  // The layer is chosen for the next open; only the OS serial interface is supported.
  if (PortState_ == psClosed && value == dlWin32)
    DeviceLayer_ = value;
}

void TApdCustomComPort::SetBaud(int32_t value) {
  if (value == Baud_)
    return;
  Baud_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetLine(value, KeepParity, KeepDataBits, KeepStopBits));
}

void TApdCustomComPort::SetParity(TParity value) {
  if (value == Parity_)
    return;
  Parity_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetLine(KeepBaud, value, KeepDataBits, KeepStopBits));
}

void TApdCustomComPort::SetDataBits(uint16_t value) {
  if (value == DataBits_)
    return;
  DataBits_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetLine(KeepBaud, KeepParity, value, KeepStopBits));
}

void TApdCustomComPort::SetStopBits(uint16_t value) {
  if (value == StopBits_)
    return;
  StopBits_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetLine(KeepBaud, KeepParity, KeepDataBits, value));
}

void TApdCustomComPort::SetInSize(uint16_t value) {
  if (value == InSize_)
    return;
  InSize_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetCommBuffers(InSize_, OutSize_));
}

void TApdCustomComPort::SetOutSize(uint16_t value) {
  if (value == OutSize_)
    return;
  OutSize_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetCommBuffers(InSize_, OutSize_));
}

void TApdCustomComPort::SetDTR(bool value) {
  if (value == DTR_ && !Force_)
    return;
  DTR_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetDtr(value));
}

void TApdCustomComPort::SetRTS(bool value) {
  if (value == RTS_ && !Force_)
    return;
  RTS_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetRts(value));
}

void TApdCustomComPort::SetXOnChar(char value) {
  if (value == XOnChar_ && !Force_)
    return;
  XOnChar_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetFlowChars(XOnChar_, XOffChar_));
}

void TApdCustomComPort::SetXOffChar(char value) {
  if (value == XOffChar_ && !Force_)
    return;
  XOffChar_ = value;
  if (Applies())
    CheckError(this, Dispatcher_->SetFlowChars(XOnChar_, XOffChar_));
}

void TApdCustomComPort::SetUseEventWord(bool value) {
  if (value == UseEventWord_ && !Force_)
    return;
  UseEventWord_ = value;
  if (Applies())
    Dispatcher_->SetEventWord(value);
}

void TApdCustomComPort::SetRS485Mode(bool value) {
  if (value == RS485Mode_ && !Force_)
    return;
  RS485Mode_ = value;
  if (Applies())
    Dispatcher_->SetRS485Mode(value);
  if (value) {
    // The transmitter drives RTS itself: no RTS handshake, and RTS low while idle.
    if (HWFlowOptions_ & (hwfUseRTS | hwfRequireCTS))
      SetHWFlowOptions(HWFlowOptions_ & ~(hwfUseRTS | hwfRequireCTS));
    SetRTS(false);
  }
}

// ---------------------------------------------------------------------------------------------
// Flow control

// Flow thresholds left unset or out of range get their share of the input size.
void TApdCustomComPort::AdjustFlowThresholds() {
  unsigned fullPercent = 0, resumePercent = 0;
  if (HWFlowOptions_ != 0) {
    fullPercent = 90;
    resumePercent = 10;
  } else if (SWFlowOptions_ != swfNone) {
    fullPercent = 75;
    resumePercent = 25;
  } else {
    return;
  }
  if (BufferFull_ == 0 || BufferFull_ > InSize_)
    BufferFull_ = static_cast<uint16_t>(InSize_ * fullPercent / 100);
  if (BufferResume_ == 0 || BufferResume_ > BufferFull_)
    BufferResume_ = static_cast<uint16_t>(InSize_ * resumePercent / 100);
}

void TApdCustomComPort::ApplyHWFlow() {
  if (!Applies())
    return;
  if (HWFlowOptions_ == 0)
    CheckError(this, Dispatcher_->HWFlowOptions(0, 0, 0));
  else
    CheckError(this, Dispatcher_->HWFlowOptions(BufferFull_, BufferResume_, HWFlowOptions_));
}

void TApdCustomComPort::ApplySWFlow() {
  if (!Applies())
    return;
  static constexpr unsigned bits[] = {0, sfReceiveFlow, sfTransmitFlow, sfReceiveFlow | sfTransmitFlow};
  if (SWFlowOptions_ == swfNone)
    CheckError(this, Dispatcher_->SWFlowDisable());
  else
    CheckError(this, Dispatcher_->SWFlowOptions(BufferFull_, BufferResume_, bits[SWFlowOptions_]));
}

void TApdCustomComPort::SetHWFlowOptions(THWFlowOptions value) {
  value &= hwfUseDTR | hwfUseRTS | hwfRequireDSR | hwfRequireCTS;
  if (value == HWFlowOptions_ && !Force_)
    return;
  HWFlowOptions_ = value;
  if ((value & (hwfUseRTS | hwfRequireCTS)) && RS485Mode_) {
    RS485Mode_ = false;
    if (Applies())
      Dispatcher_->SetRS485Mode(false);
  }
  AdjustFlowThresholds();
  ApplyHWFlow();
}

void TApdCustomComPort::SetSWFlowOptions(TSWFlowOptions value) {
  if (value == SWFlowOptions_ && !Force_)
    return;
  SWFlowOptions_ = value;
  AdjustFlowThresholds();
  ApplySWFlow();
}

void TApdCustomComPort::SetBufferFull(uint16_t value) {
  if (value > InSize_)
    value = static_cast<uint16_t>(value * 90u / 100u);
  if (value == BufferFull_ && !Force_)
    return;
  BufferFull_ = value;
  if (HWFlowOptions_ != 0)
    ApplyHWFlow();
  if (SWFlowOptions_ != swfNone)
    ApplySWFlow();
}

void TApdCustomComPort::SetBufferResume(uint16_t value) {
  if (value > BufferFull_)
    value = static_cast<uint16_t>(BufferFull_ * 10u / 100u);
  if (value == BufferResume_ && !Force_)
    return;
  BufferResume_ = value;
  if (HWFlowOptions_ != 0)
    ApplyHWFlow();
  if (SWFlowOptions_ != swfNone)
    ApplySWFlow();
}

// ---------------------------------------------------------------------------------------------
// Trace and log

TApdRecording *TApdCustomComPort::OpenTrace() { return Applies() ? &Dispatcher_->TraceRecording() : nullptr; }

TApdRecording *TApdCustomComPort::OpenLog() { return Applies() ? &Dispatcher_->LogRecording() : nullptr; }

void TApdCustomComPort::SetTracing(TTraceLogState value) { CheckError(this, Trace_.Set(value, OpenTrace(), Force_)); }

void TApdCustomComPort::SetLogging(TTraceLogState value) { CheckError(this, Log_.Set(value, OpenLog(), Force_)); }

void TApdCustomComPort::SetTraceSize(uint32_t value) { CheckError(this, Trace_.Resize(value, OpenTrace())); }

void TApdCustomComPort::SetLogSize(uint32_t value) { CheckError(this, Log_.Resize(value, OpenLog())); }
