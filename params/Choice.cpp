// Choosing the parameter to edit: by entering its field or by selecting its grid cell.
#include "params/Choice.h"
#include "params/ChoiceColours.h"
#include "params/ParamTable.h"

#include "main/UnitMain.h"

#include <QApplication>

namespace {

// The chosen field keeps its mark while its panel is disabled (during a poll, after a
// disconnect), so every palette group is set; the other fields grey out as usual when disabled.
void SetFieldColours(QLineEdit *field, const QColor &text, const QColor &back, bool whenDisabled) {
  QPalette palette = field->palette();
  const QPalette standard = QApplication::palette(field);
  for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool own = group != QPalette::Disabled || whenDisabled;
    palette.setColor(group, QPalette::Text, own ? text : standard.color(group, QPalette::Text));
    palette.setColor(group, QPalette::Base, own ? back : standard.color(group, QPalette::Base));
  }
  field->setPalette(palette);
}

} // namespace

void ClearGridSelection(TForm1 &form) {
  form.MainState.SelectedColumn = 0;
  form.MainState.SelectedRow = 0;
  // No current cell and nothing selected; a choice made this way is not a cell selection.
  const QSignalBlocker quiet(form.StringGrid1);
  form.StringGrid1->selectionModel()->clear();
  form.StringGrid1->viewport()->update();
}

void ResetFieldColours(TForm1 &form) {
  const QColor back = QApplication::palette().color(QPalette::Active, QPalette::Base);
  for (const params::ParamInfo &p : params::Params)
    if (QLineEdit *field = FieldOfParam(form, p.number))
      SetFieldColours(field, ChoiceColours::Text, back, false);
}

void ChooseField(TForm1 &form, QLineEdit *field) {
  const int number = ParamOfField(form, field);
  if (number == 0)
    return;
  ClearGridSelection(form);
  ResetFieldColours(form);
  form.MainState.SelectedParam = static_cast<uint8_t>(number);
  SetFieldColours(field, ChoiceColours::ChosenText, ChoiceColours::ChosenBack, true);
}

void ChooseCell(TForm1 &form, int column, int row) {
  const int number = params::ParamOfCell(column, row);
  if (number == 0)
    return; // headers, and the grid losing its current cell
  ResetFieldColours(form);
  form.MainState.SelectedColumn = column;
  form.MainState.SelectedRow = row;
  form.MainState.SelectedParam = static_cast<uint8_t>(number);
  form.StringGrid1->viewport()->update();
}
