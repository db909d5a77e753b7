#pragma once
// What the simulated station remembers: one byte per device address, its identity, and its front
// panel, from which the DAC outputs and the power readings follow.
#include "station/StationProtocol.h"

#include <array>
#include <cstdint>
#include <string>

enum class TRadioMode { rmReceive, rmTransmitMin, rmTransmitMax };

struct TFrontPanel {
  int Channel = 1; // 1..ChannelCount, wraps around
  int Volume = 8;  // 0..MaxVolume, stops at the ends
  TRadioMode Mode = TRadioMode::rmReceive;
  bool Squelch = true;
  bool Scrambler = false;

  static constexpr int ChannelCount = 16;
  static constexpr int MaxVolume = 15;
  bool operator==(const TFrontPanel &) const = default;
};

struct TStationState {
  TStationState(); // a station as it leaves the factory: design values at their addresses

  std::array<std::uint8_t, 256> Values{};
  std::uint8_t ModelIndex = 0;
  std::array<std::uint8_t, StationProtocol::SerialCount> SerialNumber{0x00, 0x12, 0x34};
  std::array<std::uint8_t, StationProtocol::DateCount> ProcessorDate{5, 11, 20, 7};
  TFrontPanel Panel;

  // The 34 tuning values in parameter order, as read-all sends them.
  std::array<std::uint8_t, StationProtocol::ParamCount> ParamValues() const;
  void SetParamValues(const std::array<std::uint8_t, StationProtocol::ParamCount> &values);

  // P1, TUN, CORF, POW, MOD2, MOD1, AF1, VC: the order of the DAC block. How each follows the
  // values and the front panel is told beside the definition.
  static constexpr int ChannelTuneStep = 5;
  static constexpr int ScramblerShift = 32;
  std::array<std::uint8_t, StationProtocol::DacCount> DacValues() const;
  std::uint8_t Refl() const;
  std::uint8_t Forw() const;

  // Receive frequency of the current channel in kHz, and its audio band 0..5.
  int ChannelKHz() const;
  int Band() const;

  // Applies one front-panel byte and says what changed, for the protocol log.
  std::string ApplyFrontPanel(std::uint8_t command);
};

bool IsFrontPanelCommand(std::uint8_t byte);
