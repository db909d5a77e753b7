#include "station/ExchangeParser.h"

#include <algorithm>
#include <cstdio>

namespace sp = StationProtocol;

namespace {

std::string Hex2(std::uint8_t b) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

std::string Dec(std::uint8_t b) { return std::to_string(b); }

std::string Joined(const std::vector<std::uint8_t> &bytes, bool hex) {
  std::string out;
  for (auto b : bytes)
    out += (out.empty() ? "" : " ") + (hex ? Hex2(b) : Dec(b));
  return out;
}

template <std::size_t N> std::vector<std::uint8_t> Vec(const std::array<std::uint8_t, N> &a) {
  return {a.begin(), a.end()};
}

} // namespace

std::string HexBytes(const std::vector<std::uint8_t> &bytes) { return Joined(bytes, true); }

std::string TExchangeParser::Bytes() const { return HexBytes(bytes_); }

void TExchangeParser::Finish(const std::string &what, TParseResult &out) {
  out.Log.push_back(Bytes() + "  " + what);
  bytes_.clear();
  step_ = TStep::Command;
}

std::string TExchangeParser::Abandon() {
  if (!MidExchange())
    return {};
  std::string line = Bytes() + "  broken off by the tool";
  bytes_.clear();
  step_ = TStep::Command;
  return line;
}

TParseResult TExchangeParser::Feed(std::uint8_t byte, TStationState &state) {
  TParseResult out;
  bytes_.push_back(byte);
  const auto echo = [&] { out.Reply.push_back(byte); };
  switch (step_) {
  case TStep::Command:
    StartCommand(byte, state, out);
    break;
  case TStep::SetZero:
    Expect(byte, sp::ZeroOperand, TStep::SetAddress, state, out);
    break;
  case TStep::SetAddress:
    // Only the addresses of the 34 tuning values are set this way; any other byte here is a
    // wrong address from the tool, and the station does not guess what was meant.
    if (std::find(sp::ParamAddress.begin(), sp::ParamAddress.end(), byte) == sp::ParamAddress.end()) {
      WrongOperand(byte, "a tuning value's address", state, out);
      break;
    }
    echo();
    address_ = byte;
    step_ = TStep::SetValue;
    break;
  case TStep::SetValue:
    echo();
    state.Values[address_] = byte;
    Finish("set value, address 0x" + Hex2(address_) + " = " + Dec(byte), out);
    break;
  case TStep::WriteValue:
    echo();
    // Values are stored as they come, so a write broken off leaves a partial set, as in a station.
    state.Values[sp::ParamAddress[writeIndex_]] = byte;
    if (++writeIndex_ == sp::ParamCount)
      Finish("write all: 34 values", out);
    break;
  case TStep::QueryKind:
    if (byte == sp::QueryModel) {
      echo();
      step_ = TStep::QueryModelTag;
    } else if (byte == sp::QueryMeasure) {
      echo();
      step_ = TStep::QueryMeasure;
    } else {
      WrongOperand(byte, "14 or 32", state, out);
    }
    break;
  case TStep::QueryModelTag:
    if (byte == sp::ModelTag) {
      // The tool waits once more after the answer to 97 without sending: the stored index follows.
      echo();
      out.Reply.push_back(state.ModelIndex);
      Finish("read model index: " + Dec(state.ModelIndex), out);
    } else {
      WrongOperand(byte, "61", state, out);
    }
    break;
  case TStep::QueryMeasure:
    // The answer to 60 / 70 is the reading itself, not an echo.
    if (byte == sp::MeasureRefl) {
      out.Reply.push_back(state.Refl());
      Finish("read REFL: " + Dec(state.Refl()), out);
    } else if (byte == sp::MeasureForw) {
      out.Reply.push_back(state.Forw());
      Finish("read FORW: " + Dec(state.Forw()), out);
    } else {
      WrongOperand(byte, "3C or 46", state, out);
    }
    break;
  case TStep::StoreZero:
    Expect(byte, sp::ZeroOperand, TStep::StoreTag, state, out);
    break;
  case TStep::StoreTag:
    Expect(byte, sp::ModelTag, TStep::StoreIndex, state, out);
    break;
  case TStep::StoreIndex:
    echo();
    state.ModelIndex = byte;
    Finish("store model index " + Dec(byte), out);
    break;
  case TStep::SerialZero:
    Expect(byte, sp::ZeroOperand, TStep::SerialIndex, state, out);
    break;
  case TStep::SerialIndex:
    if (byte >= 1 && byte <= sp::SerialCount) {
      const std::uint8_t value = state.SerialNumber[byte - 1];
      out.Reply.push_back(value);
      Finish("read serial number byte " + Dec(byte) + ": 0x" + Hex2(value), out);
    } else {
      WrongOperand(byte, "01, 02 or 03", state, out);
    }
    break;
  }
  return out;
}

void TExchangeParser::StartCommand(std::uint8_t byte, TStationState &state, TParseResult &out) {
  const auto openWith = [&](TStep next) {
    out.Reply.push_back(byte);
    step_ = next;
  };
  const auto block = [&](std::vector<std::uint8_t> reply, const std::string &what) {
    out.Reply = std::move(reply);
    out.Block = true;
    Finish(what, out);
  };
  switch (byte) {
  case sp::Connect:
    out.Reply.push_back(byte);
    Finish("connection asked and answered", out);
    return;
  case sp::Disconnect:
    Finish("disconnection, not answered", out);
    return;
  case sp::SetValue:
    return openWith(TStep::SetZero);
  case sp::WriteAll:
    writeIndex_ = 0;
    return openWith(TStep::WriteValue);
  case sp::Query:
    return openWith(TStep::QueryKind);
  case sp::StoreModel:
    return openWith(TStep::StoreZero);
  case sp::ReadSerial:
    return openWith(TStep::SerialZero);
  case sp::ReadAll:
    return block(Vec(state.ParamValues()), "read all: " + Joined(Vec(state.ParamValues()), false));
  case sp::ReadDate:
    return block(Vec(state.ProcessorDate), "read processor date: " + Joined(Vec(state.ProcessorDate), false));
  case sp::ReadDac: {
    static const char *const labels[] = {"P1", "TUN", "CORF", "POW", "MOD2", "MOD1", "AF1", "VC"};
    const auto dac = state.DacValues();
    std::string what = "read DAC values:";
    for (std::size_t i = 0; i < dac.size(); ++i)
      what += std::string(" ") + labels[i] + "=" + Dec(dac[i]);
    return block(Vec(dac), what);
  }
  default:
    if (IsFrontPanelCommand(byte))
      return Finish(state.ApplyFrontPanel(byte), out);
    out.Errors.push_back("unknown command " + Hex2(byte));
    Finish("unknown command, not answered", out);
  }
}

void TExchangeParser::Expect(std::uint8_t byte, std::uint8_t wanted, TStep next, TStationState &state,
                             TParseResult &out) {
  if (byte != wanted)
    return WrongOperand(byte, Hex2(wanted), state, out);
  out.Reply.push_back(byte);
  step_ = next;
}

// A byte that cannot stand where it stands ends the exchange unanswered and is recorded; it is then
// read again as the opening of a new exchange, so that a tool that gave up halfway and starts over
// (a reconnect, say) is understood at once.
void TExchangeParser::WrongOperand(std::uint8_t byte, const std::string &wanted, TStationState &state,
                                   TParseResult &out) {
  bytes_.pop_back();
  const std::string opened = Bytes();
  out.Errors.push_back("after " + opened + " expected " + wanted + ", got " + Hex2(byte));
  Finish("broken off: expected " + wanted + ", got " + Hex2(byte), out);
  bytes_.push_back(byte);
  StartCommand(byte, state, out);
}
