#include "params/ParamTable.h"

#include "main/UnitMain.h"
#include "runtime/StrToInt.h"

namespace {

using params::ParamInfo;
using params::Params;

struct LinkedPair {
  int leader;
  int follower;
};

// Tried in this order; at most one applies.
constexpr LinkedPair LinkedValues[] = {
    {31, 29}, // POW_40 -> POW_25
    {25, 27}, // POW_5  -> POW_10
    {26, 28}, // P1_5   -> P1_10
    {32, 30}, // P1_40  -> P1_25
};

// The follower keeps the distance from its leader that the two design values have.
constexpr int LinkedOffset(const LinkedPair &pair) {
  return params::ParamByNumber(pair.follower)->designValue - params::ParamByNumber(pair.leader)->designValue;
}

uint8_t LowByte(int64_t value) { return static_cast<uint8_t>(value & 0xFF); }

int32_t TextValue(const QString &text) { return StrToInt(text.toStdString()); }

QLineEdit *FieldOf(TForm1 &form, const ParamInfo &p) {
  return form.findChild<QLineEdit *>(TableText(p.field));
}

// The fields in the order CollectValues reads them: a value with a fixed value of its own (DEV)
// last, so that its field replaces the fixed value.
template <typename Visit> void ForEachFieldInReadOrder(Visit visit) {
  for (const bool fixedOnes : {false, true})
    for (const ParamInfo &p : Params)
      if (!p.field.empty() && (p.fixedValue >= 0) == fixedOnes)
        visit(p);
}

} // namespace

QLineEdit *FieldOfParam(TForm1 &form, int number) {
  const auto p = params::ParamByNumber(number);
  return p && !p->field.empty() ? FieldOf(form, *p) : nullptr;
}

int ParamOfField(const TForm1 &form, const QLineEdit *field) {
  if (!field || !form.isAncestorOf(field))
    return 0;
  const QString name = field->objectName();
  for (const ParamInfo &p : Params)
    if (!p.field.empty() && name == TableText(p.field))
      return p.number;
  return 0;
}

void CollectValues(TForm1 &form) {
  auto &values = form.MainState.ParamValues;
  // Column by column, rows top to bottom: in the table that is number order.
  for (const ParamInfo &p : Params)
    if (p.column != 0)
      values[p.number] = LowByte(TextValue(form.Cells(p.column, p.row)));
  for (const ParamInfo &p : Params)
    if (p.fixedValue >= 0)
      values[p.number] = static_cast<uint8_t>(p.fixedValue);
  ForEachFieldInReadOrder(
      [&](const ParamInfo &p) { values[p.number] = LowByte(TextValue(FieldOf(form, p)->text())); });
}

void ShowValues(TForm1 &form) {
  const auto &values = form.MainState.ParamValues;
  for (const ParamInfo &p : Params)
    if (p.column != 0)
      form.SetCells(p.column, p.row, ValueText(values[p.number]));
  ForEachFieldInReadOrder(
      [&](const ParamInfo &p) { FieldOf(form, p)->setText(ValueText(values[p.number])); });
}

void ApplyLinkedValues(TForm1 &form) {
  for (const auto &pair : LinkedValues) {
    if (pair.leader != form.MainState.SelectedParam)
      continue;
    const int32_t leader = TextValue(FieldOfParam(form, pair.leader)->text());
    // The follower's field shows the unwrapped result; the table keeps its low byte.
    const int64_t follower = static_cast<int64_t>(leader) + LinkedOffset(pair);
    FieldOfParam(form, pair.follower)->setText(QString::number(follower));
    form.MainState.ParamValues[pair.follower] = LowByte(follower);
    return;
  }
}
