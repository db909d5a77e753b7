#pragma once
// The station's end of the line: a pseudo-terminal master in raw mode. The station also keeps the
// slave open itself, so a client closing the port does not hang up the master (which would make
// every read fail until a client opens it again); closing the master is the unplugged adapter.
#include <string>
#include <termios.h>

class TPseudoTerminal {
public:
  TPseudoTerminal(); // throws TStationError
  ~TPseudoTerminal();
  TPseudoTerminal(const TPseudoTerminal &) = delete;
  TPseudoTerminal &operator=(const TPseudoTerminal &) = delete;

  int Master() const { return master_; } // non-blocking; -1 once closed
  const std::string &SlavePath() const { return slavePath_; }
  bool IsOpen() const { return master_ >= 0; }
  void Close();

  // Whether a client has the slave open. A real port that nobody holds open receives nothing,
  // whereas a pseudo-terminal would keep the bytes for whoever opens it next; the station asks
  // this to drop them instead. Known from inotify open/close events on the slave; without inotify
  // a client is assumed to be there.
  int Watch() const { return watch_; } // readable when clients came or went; -1 without inotify
  // True when every client had closed the slave at some moment since the last call.
  bool TakeWatchEvents();
  bool ClientPresent() const { return watch_ < 0 || clients_ > 0; }
  // Throws away what was written to the slave and not read.
  void DiscardUnread();
  // The client's line setting as "9600 8N1" when it is not the station's 1200 8N1, else "". A
  // pseudo-terminal keeps the speeds and the stop bits; it reports every line as 8 bits, no parity.
  std::string ClientLine() const;
  // The client's line as it stands (zeroed when the line is closed).
  termios ClientTermios() const;
  // Clears an exclusivity flag that a client left set; true when there was one.
  bool ClearExclusive();

private:
  int master_ = -1;
  int slave_ = -1;
  int watch_ = -1;
  int clients_ = 0;
  std::string slavePath_;
};
