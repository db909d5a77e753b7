// PLACEHOLDER until this file is written: every routine refuses.
#include "records/Identity.h"

#include "runtime/Exception.h"

void ReadSerialNumber(TForm1 &) { throw Exception("not built yet"); }
void ReadProcessorDate(TForm1 &) { throw Exception("not built yet"); }
