#include "station/StationState.h"

#include <algorithm>

namespace sp = StationProtocol;

TStationState::TStationState() {
  // Values from the window's design layout; distinct audio levels so a misplaced byte shows.
  const std::array<std::uint8_t, sp::ParamCount> factory = {
      150, 152, 154, 156, 158, 160, 60,  62,  64, 66, 68, 70, // audio levels, amplifier on / off
      0,   0,   0,   0,   0,                                  // 13..17, unused
      83,  120, 120, 200, 188, 193, 55,                       // DEV CORF AF1 MOD2 D_ON D_OFF TUNE
      25,  155, 44,  171, 87,  203, 121, 244,                 // POW/P1 at 5, 10, 25, 40 W
      65,  55};                                               // G_ON G_OFF
  SetParamValues(factory);
}

std::array<std::uint8_t, sp::ParamCount> TStationState::ParamValues() const {
  std::array<std::uint8_t, sp::ParamCount> out{};
  for (std::size_t i = 0; i < sp::ParamCount; ++i)
    out[i] = Values[sp::ParamAddress[i]];
  return out;
}

void TStationState::SetParamValues(const std::array<std::uint8_t, sp::ParamCount> &values) {
  for (std::size_t i = 0; i < sp::ParamCount; ++i)
    Values[sp::ParamAddress[i]] = values[i];
}

// Channels sit 2 MHz apart from 141 MHz, so the 16 channels cover all six audio bands.
int TStationState::ChannelKHz() const { return 141000 + (Panel.Channel - 1) * 2000; }

int TStationState::Band() const {
  static constexpr int upperKHz[] = {146000, 148000, 154000, 162000, 170000};
  const int f = ChannelKHz();
  int band = 0;
  while (band < 5 && f >= upperKHz[band])
    ++band;
  return band;
}

// How the DAC outputs follow the state (what the telemetry block shows). Every front-panel byte
// moves at least one of them or the readings, so a test sees which key the station got:
//  P1   power-amplifier bias: P1_5 or P1_40 while transmitting at minimum / maximum power, 0 in receive
//       (115, 120 and, from transmit, 50 change it);
//  TUN  receiver tuning value, raised by ChannelTuneStep for every channel above the first: the
//       tuning voltage follows the frequency (90, 95);
//  CORF carrier value, always;
//  POW  power setting of the current transmit power (POW_5 or POW_40), 0 in receive (115, 120, 50);
//  MOD2 reference-oscillator modulation value, raised by ScramblerShift while the scrambler is on:
//       its clock rides on the reference (180);
//  MOD1 deviation value while transmitting, 0 in receive;
//  AF1  in receive the audio-amplifier level of the channel's band, "off" column while the squelch
//       holds the amplifier off, "on" column otherwise (100; 90 and 95 where the band changes);
//       while transmitting the audio level value;
//  VC   volume control, 17 per volume step, 0..15 giving 0..255 (105, 110, except at the ends).
// All sums wrap at 256, as every station value does.
std::array<std::uint8_t, sp::DacCount> TStationState::DacValues() const {
  const bool tx = Panel.Mode != TRadioMode::rmReceive;
  const bool maxPower = Panel.Mode == TRadioMode::rmTransmitMax;
  const auto at = [this](int address) { return Values[static_cast<std::size_t>(address)]; };
  const std::uint8_t bias = tx ? at(maxPower ? sp::AddrBias40 : sp::AddrBias5) : 0;
  const std::uint8_t power = tx ? at(maxPower ? sp::AddrPower40 : sp::AddrPower5) : 0;
  const std::uint8_t audio = tx ? at(sp::AddrAudioLevel)
                                : at((Panel.Squelch ? sp::AddrAudioOffFirst : sp::AddrAudioOnFirst) + Band());
  const auto tune = static_cast<std::uint8_t>(at(sp::AddrTune) + (Panel.Channel - 1) * ChannelTuneStep);
  const auto refMod =
      static_cast<std::uint8_t>(at(sp::AddrRefModulation) + (Panel.Scrambler ? ScramblerShift : 0));
  return {bias,
          tune,
          at(sp::AddrCarrier),
          power,
          refMod,
          tx ? at(sp::AddrDeviation) : std::uint8_t{0},
          audio,
          static_cast<std::uint8_t>(Panel.Volume * 17)};
}

// Readings of the directional coupler: forward power follows the power setting in use, and a
// matched load reflects about a tenth of it. Nothing is measured in receive.
std::uint8_t TStationState::Forw() const { return DacValues()[3]; }
std::uint8_t TStationState::Refl() const { return static_cast<std::uint8_t>(Forw() / 10); }

bool IsFrontPanelCommand(std::uint8_t byte) {
  switch (byte) {
  case sp::ChannelUp:
  case sp::ChannelDown:
  case sp::ReceiveMode:
  case sp::SquelchToggle:
  case sp::VolumeUp:
  case sp::VolumeDown:
  case sp::TransmitMin:
  case sp::TransmitMax:
  case sp::ScramblerToggle:
    return true;
  default:
    return false;
  }
}

std::string TStationState::ApplyFrontPanel(std::uint8_t command) {
  const int n = TFrontPanel::ChannelCount;
  switch (command) {
  case sp::ChannelUp:
    Panel.Channel = Panel.Channel % n + 1;
    return "channel up: channel " + std::to_string(Panel.Channel);
  case sp::ChannelDown:
    Panel.Channel = (Panel.Channel + n - 2) % n + 1;
    return "channel down: channel " + std::to_string(Panel.Channel);
  case sp::ReceiveMode:
    Panel.Mode = TRadioMode::rmReceive;
    return "receive mode";
  case sp::SquelchToggle:
    Panel.Squelch = !Panel.Squelch;
    return Panel.Squelch ? "squelch on" : "squelch off";
  case sp::VolumeUp:
    Panel.Volume = std::min(Panel.Volume + 1, TFrontPanel::MaxVolume);
    return "volume up: " + std::to_string(Panel.Volume);
  case sp::VolumeDown:
    Panel.Volume = std::max(Panel.Volume - 1, 0);
    return "volume down: " + std::to_string(Panel.Volume);
  case sp::TransmitMin:
    Panel.Mode = TRadioMode::rmTransmitMin;
    return "transmit at minimum power";
  case sp::TransmitMax:
    Panel.Mode = TRadioMode::rmTransmitMax;
    return "transmit at maximum power";
  case sp::ScramblerToggle:
    Panel.Scrambler = !Panel.Scrambler;
    return Panel.Scrambler ? "scrambler on" : "scrambler off";
  default:
    return {};
  }
}
