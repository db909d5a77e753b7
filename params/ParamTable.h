#pragma once
// The moves of the 34 tuning values between the window and ParamValues. What each value is
// called, where it is shown and where the station keeps it: table/ParamList.h.
#include "table/ParamList.h"

#include <QString>

class TForm1;
class QLineEdit;

// The field showing a parameter (18..34), or nullptr for the grid's and the hidden ones.
QLineEdit *FieldOfParam(TForm1 &form, int number);
// The parameter a field of this window shows, 0 for any other control.
int ParamOfField(const TForm1 &form, const QLineEdit *field);

// Window -> ParamValues. Stops at the first text that is not a number (EConvertError); the
// values before it are already stored.
void CollectValues(TForm1 &form);
// ParamValues -> window, overwriting whatever was typed and not yet collected.
void ShowValues(TForm1 &form);
// After the selected parameter changed: moves its follower, if it has one, keeping the design
// distance between the two.
void ApplyLinkedValues(TForm1 &form);

// A name or heading of the parameter table as the window shows it.
inline QString TableText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The text a field or cell shows for a value.
inline QString ValueText(int value) { return QString::number(value); }
