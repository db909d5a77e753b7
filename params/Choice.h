#pragma once
// Choosing the parameter to edit: by entering its field or by selecting its grid cell.
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
