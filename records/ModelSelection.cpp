#include "records/ModelSelection.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "main/UnitMain.h"
#include "table/ModelList.h"
#include "params/ModelPresets.h"
#include "table/ParamList.h"
#include "platform/IniFile.h"

namespace {

// True when the model's section gives at least one of the preset keys. A value can never hold a
// line break, so that default tells a missing key from any text the file may give.
bool HasPresets(const TIniFile &file, const std::string &model) {
  const std::string missing = "\n";
  for (const auto &param : params::Params)
    if (!param.key.empty() && file.ReadString(model, param.key, missing) != missing)
      return true;
  return false;
}

} // namespace

void SelectModel(TForm1 &form) {
  auto &state = form.MainState;
  const int index = form.ComboBox1->currentIndex();
  // The empty entry (5) and no selection keep the current code.
  if (const params::ModelEntry *entry = params::ModelEntryOf(index))
    state.ModelCode = std::string(entry->code);
  PurgeStaleInput(form);
  TJournalNote note = Journal().ModelStoring(index, state.ModelCode);
  for (const uint8_t byte :
       {Command::StoreModel, Command::ZeroOperand, Command::ModelOperand, static_cast<uint8_t>(index & 0xFF)})
    if (!SendAnswered(form, byte))
      return;
  state.OptionsFile->WriteString("All", "Poz", state.ModelCode);
  ApplyModelPresets(form);
  // Without starting values every field now holds 0, and a "Запись" would send those zeros.
  if (!HasPresets(*state.OptionsFile, state.ModelCode)) {
    ClearMessages(form);
    AddMessage(form, QStringLiteral("Для модели %1 нет начальных значений в %2: все поля теперь 0")
                         .arg(QString::fromStdString(state.ModelCode),
                              QString::fromStdString(state.OptionsFile->FileName())));
  }
  note.Done();
}

void ModelListEdited(TForm1 &form) {
  QComboBox *list = form.ComboBox1;
  if (list->currentIndex() < 0)
    return;
  // Dropping the selection also empties the edit field: put back the text and the cursor.
  QLineEdit *edit = list->lineEdit();
  const QString typed = edit->text();
  const int cursor = edit->cursorPosition();
  list->setCurrentIndex(-1);
  edit->setText(typed);
  edit->setCursorPosition(cursor);
}

void SelectModelEntry(TForm1 &form, uint8_t index) {
  form.ComboBox1->setCurrentIndex(index < form.ComboBox1->count() ? index : -1);
}
