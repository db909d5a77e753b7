#include "main/StartUp.h"

#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "params/ModelPresets.h"
#include "params/ParamTable.h"
#include "platform/IniFile.h"
#include "platform/OptionsFile.h"

namespace {

void WriteGridHeaders(TForm1 &form) {
  form.SetCells(0, 0, TableText(params::GridCorner));
  for (int row = 1; row <= params::GridValueRows; ++row)
    form.SetCells(0, row, TableText(params::GridBands[static_cast<size_t>(row - 1)]));
  for (int column = 1; column <= params::GridValueColumns; ++column)
    form.SetCells(column, 0, TableText(params::GridColumnHeadings[static_cast<size_t>(column - 1)]));
}

} // namespace

void StartUp(TForm1 &form) {
  auto &state = form.MainState;
  WriteGridHeaders(form);
  state.OptionsFile = std::make_unique<TIniFile>(OptionsFilePath());
  state.ModelCode = state.OptionsFile->ReadString("All", "Poz", "0");
  state.ComNumber = static_cast<uint8_t>(state.OptionsFile->ReadInteger("All", "Port", 2) & 0xFF);
  if (state.ComNumber == 2) {
    form.RadioButton1->setChecked(false);
    form.RadioButton2->setChecked(true);
  } else {
    // Checking COM1 runs its click action, so every other number ends as COM1.
    form.RadioButton2->setChecked(false);
    form.RadioButton1->setChecked(true);
    form.RadioButton1Click();
  }
  ApplyModelPresets(form);
  CollectValues(form);
  ClearMessages(form);
  AddMessage(form, QStringLiteral("Незабудьте Подключиться"));
  state.SelectedParam = 0;
}
