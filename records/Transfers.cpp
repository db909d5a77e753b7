#include "records/Transfers.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "records/ModelSelection.h"
#include "records/SnapshotFile.h"
#include "serial/AdPort.h"

void WriteAll(TForm1 &form) {
  auto &state = form.MainState;
  SetControlEnabled(form, form.BitBtn1, false);
  CollectValues(form);
  TJournalNote note(JournalOp::WriteAll, std::nullopt, std::nullopt, JournalSeries(state.ParamValues));
  if (!SendAllValues(form))
    return;
  SetControlEnabled(form, form.BitBtn1, true);
  note.Done();
  WriteSnapshot(SnapshotPath(), state.ParamValues);
}

void ReadAll(TForm1 &form) {
  auto &state = form.MainState;
  TApdComPort &port = *state.ComPort;
  SetControlEnabled(form, form.BitBtn2, false);
  PurgeStaleInput(form);
  TJournalNote note(JournalOp::ReadAll);
  port.PurgeOutput();
  const TParamValues before = state.ParamValues;
  port.SendByte(Command::ReadAll);
  // Each value lands in ParamValues as it arrives, so a cut block leaves those it brought. One
  // byte at a time is the block receive itself: every byte gets the same budget.
  for (int number = 1; number <= ParamCount; ++number) {
    uint8_t byte = 0;
    if (!ReceiveBlock(form, {&byte, 1}, Budget::Block)) {
      form.BitBtn2->setText(QStringLiteral("Нет чтения"));
      return;
    }
    state.ParamValues[number] = byte;
  }
  // The pause before the model query is also the look for a surplus byte: what the window
  // and ParamValues held stays, so that a shifted set never reaches "Запись".
  if (SurplusWithin(form, Pause::BeforeModelQuery)) {
    state.ParamValues = before;
    form.BitBtn2->setText(QStringLiteral("Нет чтения"));
    ReportSurplus(form);
    note.Entry.Outcome = TJournalOutcome::NoRead;
    TJournalDetail surplus;
    surplus.Surplus = true;
    note.Done(JournalDetailText(surplus));
    return;
  }
  note.Entry.Series = JournalSeries(state.ParamValues);
  PurgeStaleInput(form);
  for (const uint8_t byte : {Command::Query, Command::QueryModel, Command::ModelOperand})
    if (!SendAnswered(form, byte))
      return;
  WaitAnswer(form);
  if (!state.LinkAck)
    return;
  SelectModelEntry(form, state.LastReply);
  ShowValues(form);
  SetControlEnabled(form, form.BitBtn2, true);
  note.Done(ModelIndexDetail(state.LastReply));
}

void RestoreSnapshot(TForm1 &form) {
  ReadSnapshot(SnapshotPath(), form.MainState.ParamValues);
  ShowValues(form);
}
