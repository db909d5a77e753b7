#pragma once
// The window connected to the simulated station, with the field and cell of every parameter as
// the window's layout names them, so a test can type values and read them back.
#include "tests/link/LinkFixture.h"

#include <QLineEdit>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Where each parameter 1..34 is shown: a field name, or a grid cell (column, row); 13..17 nowhere.
struct ShownAt {
  const char *field;
  int column, row;
};
inline constexpr std::array<ShownAt, 34> ParamPlaces = {{
    {nullptr, 1, 1}, {nullptr, 1, 2}, {nullptr, 1, 3}, {nullptr, 1, 4}, {nullptr, 1, 5}, {nullptr, 1, 6},
    {nullptr, 2, 1}, {nullptr, 2, 2}, {nullptr, 2, 3}, {nullptr, 2, 4}, {nullptr, 2, 5}, {nullptr, 2, 6},
    {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {nullptr, 0, 0}, {"Edit19", 0, 0},
    {"Edit1", 0, 0},  {"Edit2", 0, 0},  {"Edit3", 0, 0},  {"Edit4", 0, 0},  {"Edit5", 0, 0},  {"Edit6", 0, 0},
    {"Edit9", 0, 0},  {"Edit10", 0, 0}, {"Edit11", 0, 0}, {"Edit12", 0, 0}, {"Edit13", 0, 0}, {"Edit14", 0, 0},
    {"Edit15", 0, 0}, {"Edit16", 0, 0}, {"Edit17", 0, 0}, {"Edit18", 0, 0},
}};

using Values = std::array<uint8_t, 34>;

class RecordsTest : public LinkTest {
protected:
  void Connect() {
    Click("BitBtn9Click");
    ASSERT_TRUE(Connected());
    station.ClearReceived();
  }

  // The text parameter n shows ("" for 13..17).
  QString Shown(int n) {
    const ShownAt &at = ParamPlaces[n - 1];
    if (at.field)
      return form->findChild<QLineEdit *>(at.field)->text();
    return at.column ? form->Cells(at.column, at.row) : QString();
  }
  void Type(int n, const QString &text) {
    const ShownAt &at = ParamPlaces[n - 1];
    if (at.field)
      form->findChild<QLineEdit *>(at.field)->setText(text);
    else if (at.column)
      form->SetCells(at.column, at.row, text);
  }
  // Every visible parameter typed as its value.
  void TypeAll(const Values &values) {
    for (int n = 1; n <= 34; ++n)
      Type(n, QString::number(values[n - 1]));
  }
  // The visible parameters' texts as numbers, 13..17 as 0.
  Values ShownValues() {
    Values shown{};
    for (int n = 1; n <= 34; ++n)
      shown[n - 1] = static_cast<uint8_t>(Shown(n).toInt());
    return shown;
  }
  Values Stored() const {
    Values stored{};
    for (int n = 1; n <= 34; ++n)
      stored[n - 1] = form->MainState.ParamValues[n];
    return stored;
  }

  std::string SnapshotBytes() const { return dir.ReadFile("Opros.txt"); }
};

// A pattern of values with every parameter distinct and both ends of the byte range.
inline Values Pattern(uint8_t seed) {
  Values v{};
  for (int i = 0; i < 34; ++i)
    v[i] = static_cast<uint8_t>(seed + 7 * i);
  v[0] = 0;
  v[33] = 255;
  return v;
}

inline std::vector<uint8_t> Concat(std::initializer_list<uint8_t> head, const Values &values) {
  std::vector<uint8_t> bytes(head);
  bytes.insert(bytes.end(), values.begin(), values.end());
  return bytes;
}
