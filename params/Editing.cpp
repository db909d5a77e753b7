// PLACEHOLDER until this file is written: every routine refuses.
#include "params/Editing.h"

#include "runtime/Exception.h"

void ChooseField(TForm1 &, QLineEdit *) {}
void ChooseCell(TForm1 &, int, int) {}
void StepParameter(TForm1 &, bool) { throw Exception("not built yet"); }
void OverwriteValue(TForm1 &) { throw Exception("not built yet"); }
void OverwriteColumn(TForm1 &) { throw Exception("not built yet"); }
bool HandleKeyDown(TForm1 &, int, int) { return false; }
