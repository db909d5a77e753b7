#pragma once
// The station's reading of the byte stream. There is no framing on the line: what a byte means
// depends only on the bytes of the exchange before it, so the parser is a small state machine fed
// one byte at a time. It knows nothing of time, threads or faults; TSimStation adds those.
#include "station/StationState.h"

#include <cstdint>
#include <string>
#include <vector>

struct TParseResult {
  std::vector<std::uint8_t> Reply; // bytes to send back, in order (may be empty)
  bool Block = false;              // Reply is a block reply (70, 125, 140)
  std::vector<std::string> Log;    // one line per exchange that ended with this byte
  std::vector<std::string> Errors; // bytes that stand where the command set has no place for them
};

class TExchangeParser {
public:
  TParseResult Feed(std::uint8_t byte, TStationState &state);
  bool MidExchange() const { return step_ != TStep::Command; }
  // Gives up an exchange the tool did not finish; returns its log line ("" when none was open).
  std::string Abandon();

private:
  enum class TStep {
    Command,
    SetZero, SetAddress, SetValue,
    WriteValue,
    QueryKind, QueryModelTag, QueryMeasure,
    StoreZero, StoreTag, StoreIndex,
    SerialZero, SerialIndex,
  };

  void StartCommand(std::uint8_t byte, TStationState &state, TParseResult &out);
  void Expect(std::uint8_t byte, std::uint8_t wanted, TStep next, TStationState &state, TParseResult &out);
  void WrongOperand(std::uint8_t byte, const std::string &wanted, TStationState &state, TParseResult &out);
  void Finish(const std::string &what, TParseResult &out);
  std::string Bytes() const;

  TStep step_ = TStep::Command;
  std::vector<std::uint8_t> bytes_; // the bytes of the exchange so far
  std::size_t writeIndex_ = 0;
  std::uint8_t address_ = 0;
};

// "37 00 42"
std::string HexBytes(const std::vector<std::uint8_t> &bytes);
