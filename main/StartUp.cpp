#include "main/StartUp.h"

#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "platform/IniFile.h"
#include "platform/WindowsDirectory.h"

namespace {

const char *const OptionsFileName = "Q417Options.ini";
const char *const CaptionPrefix = "Ручная настройка радиостанции ";

// The preset keys in the order they are read. Fields give their parameter number; grid cells
// their column and row.
struct PresetKey {
  const char *key;
  int number; // parameter shown by a field, 0 for a grid cell
  int column;
  int row;
};

constexpr PresetKey PresetKeys[] = {
    {"CORF", 19, 0, 0},           {"AF1", 20, 0, 0},            {"MOD2", 21, 0, 0},
    {"D_ON", 22, 0, 0},           {"D_OFF", 23, 0, 0},          {"TUNE", 24, 0, 0},
    {"G_ON", 33, 0, 0},           {"G_OFF", 34, 0, 0},          {"DEV", 18, 0, 0},
    {"POW_5", 25, 0, 0},          {"P1_5", 26, 0, 0},           {"POW_10", 27, 0, 0},
    {"P1_10", 28, 0, 0},          {"POW_25", 29, 0, 0},         {"P1_25", 30, 0, 0},
    {"POW_40", 31, 0, 0},         {"P1_40", 32, 0, 0},          {"UNCH_ON140_146", 0, 1, 1},
    {"UNCH_ON146_148", 0, 1, 2},  {"UNCH_ON148_154", 0, 1, 3},  {"UNCH_ON154_162", 0, 1, 4},
    {"UNCH_ON162_170", 0, 1, 5},  {"UNCH_ON170_174", 0, 1, 6},  {"UNCH_OFF140_146", 0, 2, 1},
    {"UNCH_OFF146_148", 0, 2, 2}, {"UNCH_OFF148_154", 0, 2, 3}, {"UNCH_OFF154_162", 0, 2, 4},
    {"UNCH_OFF162_170", 0, 2, 5}, {"UNCH_OFF170_174", 0, 2, 6},
};

void WriteGridHeaders(TForm1 &form) {
  form.SetCells(0, 0, QStringLiteral("    МГц"));
  const char *const bands[] = {"140-146", "146-148", "148-154", "154-162", "162-170", "170-174"};
  for (int row = 1; row <= 6; ++row)
    form.SetCells(0, row, QString::fromUtf8(bands[row - 1]));
  form.SetCells(1, 0, QStringLiteral("УНЧ Вкл."));
  form.SetCells(2, 0, QStringLiteral("УНЧ Выкл."));
}

} // namespace

void ApplyModelPresets(TForm1 &form) {
  auto &state = form.MainState;
  form.setWindowTitle(QString::fromUtf8(CaptionPrefix) + QString::fromStdString(state.ModelCode));
  for (const auto &preset : PresetKeys) {
    const QString text = QString::fromStdString(state.OptionsFile->ReadString(state.ModelCode, preset.key, "0"));
    if (preset.number != 0)
      FieldOfParam(form, preset.number)->setText(text);
    else
      form.SetCells(preset.column, preset.row, text);
  }
}

void StartUp(TForm1 &form) {
  auto &state = form.MainState;
  WriteGridHeaders(form);
  const std::string path = WindowsDirectory() + "/" + OptionsFileName;
  state.OptionsFile = std::make_unique<TIniFile>(path);
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
