#pragma once
// The 34 tuning values: their device addresses, where each is shown in the window, and the
// moves between window and table.
#include <array>
#include <cstdint>

#include <QString>

class TForm1;
class QLineEdit;

// Device address of each parameter, indexed by parameter number - 1.
extern const std::array<uint8_t, 34> ParamAddress;
// Parameters 13..18 before the DEV field replaces 18.
extern const std::array<uint8_t, 6> FixedValues;

// Grid cell (column 1..2, row 1..6) <-> parameter 1..12.
int ParamOfCell(int column, int row);
bool CellOfParam(int number, int &column, int &row);

// The field showing a parameter (18..34), or nullptr for the grid's and the hidden ones.
QLineEdit *FieldOfParam(TForm1 &form, int number);
// The parameter a field shows, 0 for any other control.
int ParamOfField(const TForm1 &form, const QLineEdit *field);

// Window -> ParamValues. Stops at the first text that is not a number (EConvertError); the
// values before it are already stored.
void CollectValues(TForm1 &form);
// ParamValues -> window, overwriting whatever was typed and not yet collected.
void ShowValues(TForm1 &form);
// After the selected parameter changed: moves its follower, if it has one, keeping the design
// distance between the two.
void ApplyLinkedValues(TForm1 &form);

// The text a field or cell shows for a value.
inline QString ValueText(int value) { return QString::number(value); }
