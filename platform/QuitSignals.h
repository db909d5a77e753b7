#pragma once
// SIGINT, SIGTERM and SIGHUP as something an event loop can wait for: the handler only writes
// the signal's number into a socket, whose other end the loop watches. A second quit signal
// while the first is still on its way ends the program the default way.

// Installs the handlers (once) and returns the descriptor to watch; -1 when the socket cannot
// be made, and the signals then keep their default action.
int InstallQuitSignalHandlers();
// Takes the number of a signal that arrived from the descriptor; 0 when there is none.
int TakeQuitSignal();
