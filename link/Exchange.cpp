#include "link/Exchange.h"

#include "link/CommandSet.h"
#include "journal/Journal.h"
#include "link/Trace.h"
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "runtime/Dialogs.h"
#include "serial/AdPort.h"
#include "serial/AwUser.h"

#include <algorithm>
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

// Takes off the echoes of what was sent since the last answer; each comes a byte time after its
// byte, so the answer's budget starts when they are off. False when one did not come: the
// adapter is gone, and so is the answer.
bool TakeEchoes(TForm1 &form) {
  auto &state = form.MainState;
  TApdComPort &port = *state.ComPort;
  for (; state.EchoesDue > 0; --state.EchoesDue) {
    if (!ByteBy(port, DeadlineAfter(Budget::Answer)))
      return false;
    port.ReadByte();
  }
  return true;
}

} // namespace

void SendToStation(TForm1 &form, uint8_t byte) {
  form.MainState.ComPort->SendByte(byte);
  if (form.MainState.AdapterEchoes)
    ++form.MainState.EchoesDue;
}

bool LooksLikeEcho(uint8_t sent, uint8_t back, std::chrono::steady_clock::duration after, int baud) {
  using namespace std::chrono;
  // Start bit, eight data bits, stop bit; a tenth off for the adapter's clock and our own.
  const auto byteTime = duration_cast<nanoseconds>(seconds(10)) / baud;
  return back == sent && after >= byteTime * 9 / 10 && after < byteTime * 2;
}

void WaitAnswer(TForm1 &form) {
  auto &state = form.MainState;
  TApdComPort &port = *state.ComPort;
  state.LinkAck = false;
  if (TakeEchoes(form) && ByteBy(port, DeadlineAfter(Budget::Answer))) {
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
  if (!TakeEchoes(form)) {
    TraceAnswerMissing();
    Journal().AnswerMissing();
    return false;
  }
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
  const unsigned waiting = port.Dispatcher() ? port.Dispatcher()->InBuffUsed() : 0;
  port.PurgeInput();
  // The echoes of unanswered bytes (a front-panel key, the disconnect) are no stale answers.
  auto &echoes = form.MainState.EchoesDue;
  const unsigned dropped = std::min(waiting, echoes);
  echoes -= dropped;
  const unsigned stale = waiting - dropped;
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
  SendToStation(form, byte);
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
