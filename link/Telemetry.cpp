#include "link/Telemetry.h"

#include "link/CommandSet.h"
#include "journal/Journal.h"
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "runtime/FormatFixed.h"
#include "runtime/Sleep.h"
#include "serial/AdPort.h"

#include <array>

namespace {

// Positions in the DAC block, in arrival order.
enum DacPosition { P1, TUN, CORF, POW, MOD2, MOD1, AF1, VC };

// "POW=128=2.51В  ": the label, the byte, and its voltage on a 5 V full scale.
QString DacItem(const char *label, uint8_t b) {
  return QString::fromUtf8(label) + QString::number(b) + QLatin1Char('=') +
         QString::fromStdString(FormatFixed(b * 5.0 / 255, 3, 2)) + QStringLiteral("В  ");
}

// Lines 1 and 2 are padded to equal length (in characters) before each new pair of items, so
// the pairs stand in columns.
void PadToEqual(QString &line1, QString &line2) {
  while (line1.size() < line2.size())
    line1 += QLatin1Char(' ');
  while (line2.size() < line1.size())
    line2 += QLatin1Char(' ');
}

} // namespace

void ArmRefresh(TForm1 &form) {
  form.MainState.PollMode = pmArmed;
  form.Timer1->SetEnabled(true);
}

void RefreshTick(TForm1 &form) {
  switch (form.MainState.PollMode) {
  case pmArmed:
    form.Timer1->SetEnabled(true);
    form.Timer1->SetInterval(RefreshNextPeriod);
    form.MainState.PollMode = pmDue;
    break;
  case pmDue: {
    form.Timer1->SetEnabled(false);
    form.Timer1->SetInterval(RefreshFirstPeriod);
    // Nothing in the remote controls or the step panel may start while the station is polled.
    const THeldControls held = HoldDisabled(form, {form.GroupBox1, form.Panel3});
    PollDacValues(form);
    ReleaseHeld(form, held);
    break;
  }
  default:
    break;
  }
}

void PollDacValues(TForm1 &form) {
  ClearMessages(form);
  if (!form.CheckBox1->isChecked())
    return;
  PurgeStaleInput(form);
  TJournalNote note(JournalOp::Dac);
  form.MainState.ComPort->SendByte(Command::Telemetry);
  Sleep(Pause::BeforeTelemetryBlock);
  // Received apart, so that a block cut short leaves the last whole one in DacValues.
  std::array<uint8_t, 8> block{};
  if (!ReceiveBlock(form, block, Budget::Block)) {
    ClearMessages(form);
    AddMessage(form, QStringLiteral("Нет соединения со станцией..."));
    SetControlEnabled(form, form.BitBtn9, true);
    SetControlEnabled(form, form.BitBtn10, false);
    return;
  }
  if (SurplusWithin(form, Budget::Surplus)) {
    ReportSurplus(form);
    return;
  }
  auto &dac = form.MainState.DacValues;
  dac = block;
  QString line1 = DacItem("P1=", dac[P1]);
  QString line2 = DacItem("POW=", dac[POW]);
  PadToEqual(line1, line2);
  line1 += DacItem("MOD1=", dac[MOD1]);
  line2 += DacItem("MOD2=", dac[MOD2]);
  PadToEqual(line1, line2);
  line1 += DacItem("TUN=", dac[TUN]);
  line2 += DacItem("CORF=", dac[CORF]);
  PadToEqual(line1, line2);
  const QString line3 = DacItem("VC=", dac[VC]) + DacItem("AF1=", dac[AF1]);
  AddMessage(form, line1);
  AddMessage(form, line2);
  AddMessage(form, line3);
  note.Done(DacDetail(dac));
}

void DacDisplayChanged(TForm1 &form) {
  PollDacValues(form);
  // PollMode is left alone: after a poll (3) the next event polls once more, an armed refresh
  // (2) runs its course.
  form.Timer1->SetEnabled(true);
}

void ReadReflForw(TForm1 &form) {
  PurgeStaleInput(form);
  TJournalNote note(JournalOp::ReflForw);
  for (uint8_t byte : {Command::Query, Command::QueryMeasure, Command::Refl})
    if (!SendAnswered(form, byte))
      return;
  const uint8_t refl = form.MainState.LastReply;
  Sleep(Pause::AfterRefl);
  PurgeStaleInput(form);
  for (uint8_t byte : {Command::Query, Command::QueryMeasure, Command::Forw})
    if (!SendAnswered(form, byte))
      return;
  const uint8_t forw = form.MainState.LastReply;
  ClearMessages(form);
  AddMessage(form, QStringLiteral("REFL= %1     FORW= %2").arg(refl).arg(forw));
  ArmRefresh(form);
  note.Done(ReflForwDetail(refl, forw));
}
