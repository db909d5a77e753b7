// Changing the chosen parameter: by a step, by a typed number, and a whole grid column at once.
#include "params/Editing.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "link/Telemetry.h"
#include "main/MessageWindow.h"
#include "main/Panels.h"
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "runtime/Dialogs.h"
#include "runtime/Sleep.h"
#include "runtime/StrToInt.h"

namespace {

// Lets the station settle before the refresh reads its DAC values back.
constexpr unsigned SettleAfterStep = 200;

const char *const NothingChosen = "Вы не выбрали параметр который хотите менять";

void RepaintGrid(TForm1 &form) { form.StringGrid1->viewport()->repaint(); }

} // namespace

void ReadStepSize(TForm1 &form) {
  const std::pair<QRadioButton *, uint8_t> steps[] = {
      {form.RadioButton3, 1},  {form.RadioButton4, 2},  {form.RadioButton5, 5},
      {form.RadioButton6, 10}, {form.RadioButton7, 20}, {form.RadioButton8, 50},
  };
  for (const auto &[button, step] : steps)
    if (button->isChecked())
      form.MainState.StepSize = step;
}

bool SendSetValue(TForm1 &form) {
  const int number = form.MainState.SelectedParam;
  PurgeStaleInput(form);
  for (const uint8_t byte :
       {Command::SetValue, Command::ZeroOperand, params::ParamByNumber(number).value().address})
    if (!SendAnswered(form, byte))
      return false;
  SendAnswered(form, form.MainState.ParamValues[number]);
  return true;
}

void StepParameter(TForm1 &form, bool up) {
  auto &state = form.MainState;
  ClearMessages(form);
  if (state.SelectedParam == 0) {
    AddMessage(form, QString::fromUtf8(NothingChosen));
    return;
  }
  ReadStepSize(form);
  uint8_t &value = state.ParamValues[state.SelectedParam];
  value = static_cast<uint8_t>(up ? value + state.StepSize : value - state.StepSize);
  ShowValues(form);
  ApplyLinkedValues(form);
  RepaintGrid(form);
  TJournalNote note(JournalOp::SetValue, state.SelectedParam, value);
  if (!SendSetValue(form))
    return;
  Sleep(SettleAfterStep);
  ArmRefresh(form);
  note.Done();
}

void SendTypedValue(TForm1 &form) {
  ClearMessages(form);
  if (form.MainState.SelectedParam == 0) {
    AddMessage(form, QString::fromUtf8(NothingChosen));
    return;
  }
  CollectValues(form);
  RepaintGrid(form);
  TJournalNote note(JournalOp::SetValue, form.MainState.SelectedParam,
                    form.MainState.ParamValues[form.MainState.SelectedParam]);
  if (!SendSetValue(form) || !form.MainState.LinkAck)
    return;
  ShowValues(form);
  ApplyLinkedValues(form);
  RepaintGrid(form);
  note.Done();
}

void OverwriteValue(TForm1 &form) {
  auto &state = form.MainState;
  if (state.SelectedParam == 0) {
    ShowMessageBox("Вы не выбрали ячеку, данные которой надо заменить");
    return;
  }
  const QString text = form.Edit7->text();
  if (text.isEmpty() || text == QLatin1String(" ")) {
    ShowMessageBox("Вы не ввели данные");
    return;
  }
  state.ParamValues[state.SelectedParam] = static_cast<uint8_t>(StrToInt(text.toStdString()) & 0xFF);
  ShowValues(form);
  ApplyLinkedValues(form);
  TJournalNote note(JournalOp::SetValue, state.SelectedParam, state.ParamValues[state.SelectedParam]);
  if (!SendSetValue(form) || !state.LinkAck)
    return;
  RepaintGrid(form);
  ArmRefresh(form);
  note.Done();
}

void OverwriteColumn(TForm1 &form) {
  auto &state = form.MainState;
  SetControlEnabled(form, form.BitBtn15, false);
  if (state.SelectedColumn < 1) {
    SetControlEnabled(form, form.BitBtn15, true);
    return;
  }
  // An early stop leaves the button disabled until the next connect.
  const QString text = form.Edit7->text();
  for (int row = 1; row <= params::GridValueRows; ++row)
    form.SetCells(state.SelectedColumn, row, text);
  CollectValues(form);
  TJournalNote note(JournalOp::OverwriteColumn, std::nullopt, std::nullopt, JournalSeries(state.ParamValues));
  if (!SendAllValues(form))
    return;
  SetControlEnabled(form, form.BitBtn15, true);
  form.Timer1->SetEnabled(true);
  note.Done();
}
