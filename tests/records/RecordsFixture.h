#pragma once
// The window connected to the simulated station, with the field or grid cell of every parameter
// as the layout names them, so a test can type values and read them back.
#include "tests/support/WindowFixture.h"

#include <QLineEdit>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Values = std::array<uint8_t, 34>;

class RecordsTest : public LinkTest {
protected:
  // Parameter n's field or cell; 13..17 are shown nowhere (nullptr, empty text).
  QLineEdit *Field(int n) {
    static const char *const fields[] = {"Edit19", "Edit1",  "Edit2",  "Edit3",  "Edit4",  "Edit5",
                                         "Edit6",  "Edit9",  "Edit10", "Edit11", "Edit12", "Edit13",
                                         "Edit14", "Edit15", "Edit16", "Edit17", "Edit18"}; // 18..34
    return n >= 18 ? form->findChild<QLineEdit *>(fields[n - 18]) : nullptr;
  }
  QString Shown(int n) {
    if (n <= 12)
      return form->Cells((n - 1) / 6 + 1, (n - 1) % 6 + 1);
    return n >= 18 ? Field(n)->text() : QString();
  }
  void Type(int n, const QString &text) {
    if (n <= 12)
      form->SetCells((n - 1) / 6 + 1, (n - 1) % 6 + 1, text);
    else if (n >= 18)
      Field(n)->setText(text);
  }
  void TypeAll(const Values &values) {
    for (int n = 1; n <= 34; ++n)
      Type(n, QString::number(values[n - 1]));
  }
  // What the window shows, as numbers; 13..17 as 0.
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
};

// Every parameter distinct, both ends of the byte range, 13..17 at 0 as every write sends them.
inline Values Pattern(uint8_t seed) {
  Values v{};
  for (int i = 0; i < 34; ++i)
    v[i] = i >= 12 && i < 17 ? 0 : static_cast<uint8_t>(seed + 7 * i);
  v[0] = 0;
  v[33] = 255;
  return v;
}

inline std::vector<uint8_t> Concat(std::initializer_list<uint8_t> head, const Values &values) {
  std::vector<uint8_t> bytes(head);
  bytes.insert(bytes.end(), values.begin(), values.end());
  return bytes;
}
