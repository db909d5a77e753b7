#pragma once
// The station's own copy of the command set and of the device addresses of the 34 tuning values.
// It is written independently of link/ on purpose: a wrong byte from the tool must meet a station
// that disagrees with it, not one that mirrors the tool's table.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace StationProtocol {

// Bytes that open an exchange.
inline constexpr std::uint8_t Connect = 250;        // answered (any byte)
inline constexpr std::uint8_t Disconnect = 200;     // no answer
inline constexpr std::uint8_t SetValue = 55;        // 55, 0, address, value: each answered
inline constexpr std::uint8_t WriteAll = 60;        // 60, then 34 values: each answered
inline constexpr std::uint8_t ReadAll = 70;         // block of 34 values
inline constexpr std::uint8_t Query = 170;          // 170, 20, 97 or 170, 50, 60/70
inline constexpr std::uint8_t StoreModel = 65;      // 65, 0, 97, index: each answered
inline constexpr std::uint8_t ReadSerial = 80;      // 80, 0, k: the answer to k is serial byte k
inline constexpr std::uint8_t ReadDate = 125;       // block of 4 date bytes
inline constexpr std::uint8_t ReadDac = 140;        // block of 8 DAC values

// Front-panel bytes: none is answered.
inline constexpr std::uint8_t ChannelUp = 90;
inline constexpr std::uint8_t ChannelDown = 95;
inline constexpr std::uint8_t ReceiveMode = 50;
inline constexpr std::uint8_t SquelchToggle = 100;
inline constexpr std::uint8_t VolumeUp = 105;
inline constexpr std::uint8_t VolumeDown = 110;
inline constexpr std::uint8_t TransmitMin = 115;
inline constexpr std::uint8_t TransmitMax = 120;
inline constexpr std::uint8_t ScramblerToggle = 180;

// Operands, by the position they stand in.
inline constexpr std::uint8_t ZeroOperand = 0;      // second byte of 55, 65 and 80
inline constexpr std::uint8_t ModelTag = 97;        // third byte of 65 and of 170, 20
inline constexpr std::uint8_t QueryModel = 20;      // after 170
inline constexpr std::uint8_t QueryMeasure = 50;    // after 170
inline constexpr std::uint8_t MeasureRefl = 60;     // after 170, 50
inline constexpr std::uint8_t MeasureForw = 70;     // after 170, 50

inline constexpr std::size_t ParamCount = 34;
inline constexpr std::size_t DacCount = 8;
inline constexpr std::size_t DateCount = 4;
inline constexpr std::size_t SerialCount = 3;

// Device address of tuning value n (1..34) at index n - 1: three runs, 27..38, 61..71, 75..85.
inline constexpr std::array<std::uint8_t, ParamCount> ParamAddress = {
    27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38,          // 1..12 audio levels
    61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71,              // 13..23
    75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85};             // 24..34

// Addresses the station itself reads to derive its DAC outputs.
inline constexpr std::uint8_t AddrAudioOnFirst = 27;   // six bands, amplifier on
inline constexpr std::uint8_t AddrAudioOffFirst = 33;  // six bands, amplifier off
inline constexpr std::uint8_t AddrDeviation = 66;
inline constexpr std::uint8_t AddrCarrier = 67;
inline constexpr std::uint8_t AddrAudioLevel = 68;
inline constexpr std::uint8_t AddrRefModulation = 69;
inline constexpr std::uint8_t AddrTune = 75;
inline constexpr std::uint8_t AddrPower5 = 76;
inline constexpr std::uint8_t AddrBias5 = 77;
inline constexpr std::uint8_t AddrPower40 = 82;
inline constexpr std::uint8_t AddrBias40 = 83;

// How long the tool waits for each answer before it gives its exchange up.
inline constexpr std::chrono::milliseconds AnswerBudget{250};

// One byte on a 1200-baud 8N1 line: start bit, 8 data bits, stop bit.
inline constexpr std::chrono::nanoseconds ByteTime{10'000'000'000LL / 1200};

} // namespace StationProtocol
