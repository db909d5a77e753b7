#pragma once
// Choosing a parameter and changing it in the station at once.
class TForm1;

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
