#include "records/ModelSelection.h"

#include "journal/Journal.h"
#include "link/CommandSet.h"
#include "link/Exchange.h"
#include "main/StartUp.h"
#include "main/UnitMain.h"
#include "platform/IniFile.h"

namespace {

// The model code of each list entry, by index; the empty entry (5) and no selection keep the
// current code. Entries 1 and 2 differ only in the index the station stores.
const char *ModelCodeOfEntry(int index) {
  static const char *const codes[] = {"KS41", "KS43", "KS43", "KS45", "KS47"};
  return index >= 0 && index < static_cast<int>(std::size(codes)) ? codes[index] : nullptr;
}

} // namespace

void SelectModel(TForm1 &form) {
  auto &state = form.MainState;
  const int index = form.ComboBox1->currentIndex();
  if (const char *code = ModelCodeOfEntry(index))
    state.ModelCode = code;
  TJournalNote note = Journal().ModelStoring(index, state.ModelCode);
  for (const uint8_t byte :
       {Command::StoreModel, Command::ZeroOperand, Command::ModelOperand, static_cast<uint8_t>(index & 0xFF)})
    if (!SendAnswered(form, byte))
      return;
  state.OptionsFile->WriteString("All", "Poz", state.ModelCode);
  ApplyModelPresets(form);
  note.Done();
}

void SelectModelEntry(TForm1 &form, uint8_t index) {
  form.ComboBox1->setCurrentIndex(index < form.ComboBox1->count() ? index : -1);
}
