#pragma once
// A record of the exchanges with the station that a technician can read (kstune --trace FILE):
// one line per exchange, written and flushed as the exchange ends, with the wall-clock time, the
// operation that caused it, the bytes sent and received in hexadecimal, the time of each answer
// byte after the send, and an answer that did not come. Off unless started; it changes nothing
// of what the tool does.
#include <string>

class QString;
class TForm1;

// Appends to fileName from now on. False, with the reason in error, when the file cannot be
// opened for writing; the trace then stays off.
bool StartTrace(const std::string &fileName, std::string &error);
// Writes the exchange in progress and closes the file; the trace is off afterwards.
void StopTrace();
bool TraceOn();

// Names the following exchanges after what the technician did in the window: the caption of
// the button clicked, the key pressed, the timer's poll.
void WatchOperations(TForm1 &form);
void SetTraceOperation(const QString &name);

// Called by the exchange routines: the awaited answer came and the exchange is complete, or it
// did not come.
void TraceExchangeEnd();
void TraceAnswerMissing();
// A command dropped this many stale bytes from the input before it started.
void TraceStaleInput(unsigned count);
