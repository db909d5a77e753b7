#pragma once
// Choosing a parameter and changing it in the station at once.
class TForm1;
class QLineEdit;

// A parameter field received the focus: its parameter becomes the chosen one, the grid loses
// its mark. Any other field changes nothing.
void ChooseField(TForm1 &form, QLineEdit *field);
// A grid cell became the selected cell.
void ChooseCell(TForm1 &form, int column, int row);
// No grid cell chosen, none current, none selected; raises no cell selection.
void ClearGridSelection(TForm1 &form);
// Every parameter field back to navy on the window background.
void ResetFieldColours(TForm1 &form);

// The step panel's step into StepSize.
void ReadStepSize(TForm1 &form);
// Sends the chosen parameter's value: 55, 0, address, value, each answered. False when one of
// the first three answers did not come; the fourth is waited for and LinkAck tells whether it
// came, as some callers go on either way.
bool SendSetValue(TForm1 &form);

// Enter: what the window shows goes into the table, and the chosen parameter to the station.
void SendTypedValue(TForm1 &form);
// "Параметр +" (up) and "Параметр -".
void StepParameter(TForm1 &form, bool up);
// "Переписать": the typed number into the chosen parameter.
void OverwriteValue(TForm1 &form);
// "Переписать ряд": the typed number into the chosen grid column, then the whole table out.
void OverwriteColumn(TForm1 &form);
// The window's key-down handler, before the focused control; true when it consumed the key.
// key is Qt's key code, modifiers Qt's keyboard modifiers.
bool HandleKeyDown(TForm1 &form, int key, int modifiers);
