#pragma once
// Names the exchanges of the trace after what the technician did in the window: the caption of
// the button clicked, the key pressed, the timer's poll.
class TForm1;

void WatchOperations(TForm1 &form);
