#include "params/ParamTable.h"

#include "main/UnitMain.h"
#include "runtime/StrToInt.h"

const std::array<uint8_t, 34> ParamAddress = {
    27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, // 1..12: audio levels, amplifier on, then off
    61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71,     // 13..23
    75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85,     // 24..34
};

const std::array<uint8_t, 6> FixedValues = {0, 0, 0, 0, 0, 83};

namespace {

struct FieldOfNumber {
  int number;
  QLineEdit *Ui::UnitMain::*field;
};

// In the order CollectValues reads them: DEV last, so that it replaces the fixed 83.
constexpr FieldOfNumber Fields[] = {
    {19, &Ui::UnitMain::Edit1},  {20, &Ui::UnitMain::Edit2},  {21, &Ui::UnitMain::Edit3},
    {22, &Ui::UnitMain::Edit4},  {23, &Ui::UnitMain::Edit5},  {24, &Ui::UnitMain::Edit6},
    {25, &Ui::UnitMain::Edit9},  {26, &Ui::UnitMain::Edit10}, {27, &Ui::UnitMain::Edit11},
    {28, &Ui::UnitMain::Edit12}, {29, &Ui::UnitMain::Edit13}, {30, &Ui::UnitMain::Edit14},
    {31, &Ui::UnitMain::Edit15}, {32, &Ui::UnitMain::Edit16}, {33, &Ui::UnitMain::Edit17},
    {34, &Ui::UnitMain::Edit18}, {18, &Ui::UnitMain::Edit19},
};

struct LinkedPair {
  int leader;
  int follower;
  int offset; // follower = leader + offset: the distance of the two design values
};

constexpr LinkedPair LinkedValues[] = {
    {31, 29, 87 - 121},  // POW_40 -> POW_25
    {25, 27, 44 - 25},   // POW_5  -> POW_10
    {26, 28, 171 - 155}, // P1_5   -> P1_10
    {32, 30, 203 - 244}, // P1_40  -> P1_25
};

uint8_t LowByte(int64_t value) { return static_cast<uint8_t>(value & 0xFF); }

int32_t TextValue(const QString &text) { return StrToInt(text.toStdString()); }

} // namespace

int ParamOfCell(int column, int row) {
  if (column < 1 || column > 2 || row < 1 || row > 6)
    return 0;
  return (column - 1) * 6 + row;
}

bool CellOfParam(int number, int &column, int &row) {
  if (number < 1 || number > 12)
    return false;
  column = (number - 1) / 6 + 1;
  row = (number - 1) % 6 + 1;
  return true;
}

QLineEdit *FieldOfParam(TForm1 &form, int number) {
  for (const auto &f : Fields)
    if (f.number == number)
      return form.*f.field;
  return nullptr;
}

int ParamOfField(const TForm1 &form, const QLineEdit *field) {
  for (const auto &f : Fields)
    if (form.*f.field == field)
      return f.number;
  return 0;
}

void CollectValues(TForm1 &form) {
  auto &values = form.MainState.ParamValues;
  for (int number = 1; number <= 12; ++number) {
    int column = 0, row = 0;
    CellOfParam(number, column, row);
    values[number] = LowByte(TextValue(form.Cells(column, row)));
  }
  for (int i = 0; i < 6; ++i)
    values[13 + i] = FixedValues[i];
  for (const auto &f : Fields)
    values[f.number] = LowByte(TextValue((form.*f.field)->text()));
}

void ShowValues(TForm1 &form) {
  const auto &values = form.MainState.ParamValues;
  for (int number = 1; number <= 12; ++number) {
    int column = 0, row = 0;
    CellOfParam(number, column, row);
    form.SetCells(column, row, ValueText(values[number]));
  }
  for (const auto &f : Fields)
    (form.*f.field)->setText(ValueText(values[f.number]));
}

void ApplyLinkedValues(TForm1 &form) {
  for (const auto &pair : LinkedValues) {
    if (pair.leader != form.MainState.SelectedParam)
      continue;
    const int32_t leader = TextValue(FieldOfParam(form, pair.leader)->text());
    // The follower's field shows the unwrapped result; the table keeps its low byte.
    const int64_t follower = static_cast<int64_t>(leader) + pair.offset;
    FieldOfParam(form, pair.follower)->setText(QString::number(follower));
    form.MainState.ParamValues[pair.follower] = LowByte(follower);
    return;
  }
}
