// PLACEHOLDER until this file is written: every routine refuses.
#include "records/ModelSelection.h"

#include "runtime/Exception.h"

void SelectModel(TForm1 &) { throw Exception("not built yet"); }
