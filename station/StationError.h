#pragma once
#include <stdexcept>
#include <string>

// A station that cannot start: no pseudo-terminal, or a com link it may not make.
class TStationError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
