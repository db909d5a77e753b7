// PLACEHOLDER until this file is written: every routine refuses.
#include "link/FrontPanel.h"

#include "runtime/Exception.h"

void PressFrontPanel(TForm1 &, uint8_t) { throw Exception("not built yet"); }
