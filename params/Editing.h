#pragma once
// Choosing a parameter and changing it in the station at once.
class TForm1;
class QLineEdit;

// A parameter field received the focus.
void ChooseField(TForm1 &form, QLineEdit *field);
// A grid cell became the selected cell.
void ChooseCell(TForm1 &form, int column, int row);
// "Параметр +" (up) and "Параметр -".
void StepParameter(TForm1 &form, bool up);
// "Переписать": the typed number into the chosen parameter.
void OverwriteValue(TForm1 &form);
// "Переписать ряд": the typed number into the chosen grid column, then the whole table out.
void OverwriteColumn(TForm1 &form);
// The window's key-down handler, before the focused control; true when it consumed the key.
bool HandleKeyDown(TForm1 &form, int key, int modifiers);
