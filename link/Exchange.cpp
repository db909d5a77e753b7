#include "link/Exchange.h"

#include "link/CommandSet.h"
#include "journal/Journal.h"
#include "link/Trace.h"
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "runtime/Dialogs.h"
#include "serial/AdPort.h"
#include "serial/AwUser.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// A budget of n idle polls of 1 ms, kept as a deadline: the wait wakes the moment a byte
// arrives instead of at the next poll, so an exchange costs the wire time, not sleep granularity.
Clock::time_point DeadlineAfter(int idlePolls) { return Clock::now() + std::chrono::milliseconds(idlePolls); }

// Waits until a byte is ready or the deadline passes.
bool ByteBy(TApdComPort &port, Clock::time_point deadline) {
  for (;;) {
    if (port.ByteReady())
      return true;
    const auto now = Clock::now();
    if (now >= deadline)
      return false;
    // Rounded up, so that the whole budget is waited even when it ends between milliseconds.
    port.WaitByteReady(
        static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
  }
}

} // namespace

void WaitAnswer(TForm1 &form) {
  auto &state = form.MainState;
  TApdComPort &port = *state.ComPort;
  state.LinkAck = false;
  if (ByteBy(port, DeadlineAfter(Budget::Answer))) {
    state.LastReply = port.ReadByte();
    state.LinkAck = true;
    Journal().AnswerCame();
    return;
  }
  TraceAnswerMissing();
  Journal().AnswerMissing();
  ShowMessageBox(LinkLostMessage);
}

bool ReceiveBlock(TForm1 &form, std::span<uint8_t> block, int firstBudget) {
  TApdComPort &port = *form.MainState.ComPort;
  // The receive fails on the idle poll that takes the budget below 0: one more than the budget.
  auto deadline = DeadlineAfter(firstBudget + 1);
  for (uint8_t &byte : block) {
    if (!ByteBy(port, deadline)) {
      TraceAnswerMissing();
      Journal().AnswerMissing();
      return false;
    }
    byte = port.ReadByte();
    Journal().AnswerCame();
    deadline = DeadlineAfter(Budget::Block + 1);
  }
  return true;
}

unsigned PurgeStaleInput(TForm1 &form) {
  TApdComPort &port = *form.MainState.ComPort;
  // Counted in the receive buffer, where the exchanges would find them; a closed port has none
  // and PurgeInput raises its not-open error.
  const unsigned stale = port.Dispatcher() ? port.Dispatcher()->InBuffUsed() : 0;
  port.PurgeInput();
  if (stale > 0) {
    TraceStaleInput(stale);
    Journal().StaleBytesDropped(static_cast<int>(stale));
  }
  return stale;
}

bool SurplusWithin(TForm1 &form, int ms) {
  return ByteBy(*form.MainState.ComPort, DeadlineAfter(ms));
}

void ReportSurplus(TForm1 &form) {
  ClearMessages(form);
  AddMessage(form, QString::fromUtf8(SurplusMessage));
}

bool SendAnswered(TForm1 &form, uint8_t byte) {
  form.MainState.ComPort->SendByte(byte);
  WaitAnswer(form);
  return form.MainState.LinkAck;
}

bool SendAllValues(TForm1 &form) {
  PurgeStaleInput(form);
  if (!SendAnswered(form, Command::WriteAll))
    return false;
  for (int number = 1; number <= ParamCount; ++number)
    if (!SendAnswered(form, form.MainState.ParamValues[number]))
      return false;
  return true;
}
