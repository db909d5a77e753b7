#include "params/ModelPresets.h"

#include "main/UnitMain.h"
#include "params/ParamTable.h"
#include "platform/IniFile.h"

namespace {

const char *const CaptionPrefix = "Ручная настройка радиостанции ";

} // namespace

void ApplyModelPresets(TForm1 &form) {
  auto &state = form.MainState;
  form.setWindowTitle(QString::fromUtf8(CaptionPrefix) + QString::fromStdString(state.ModelCode));
  for (int order = 1; order <= params::PresetCount; ++order) {
    const params::ParamInfo p = *params::ParamByNumber(params::ParamOfPresetOrder(order));
    const QString text = QString::fromStdString(state.OptionsFile->ReadString(state.ModelCode, p.key, "0"));
    if (p.column != 0)
      form.SetCells(p.column, p.row, text);
    else
      FieldOfParam(form, p.number)->setText(text);
  }
}
