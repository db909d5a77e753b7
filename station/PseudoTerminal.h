#pragma once
// The station's end of the line: a pseudo-terminal master in raw mode. The station also keeps the
// slave open itself, so a client closing the port does not hang up the master (which would make
// every read fail until a client opens it again); closing the master is the unplugged adapter.
#include <string>

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

private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};
