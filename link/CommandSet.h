#pragma once
// Every byte the tool sends to the station, and the pauses and budgets of the exchanges. The
// same value means different things by position (50 alone is receive mode, after 170 it opens a
// measurement), so each position has a name of its own.
#include <cstdint>

namespace Command {

inline constexpr uint8_t Connect = 250;    // handshake, answered by one byte
inline constexpr uint8_t Disconnect = 200; // unanswered
inline constexpr uint8_t SetValue = 55;    // 55, 0, address, value; each answered
inline constexpr uint8_t WriteAll = 60;    // 60, then the 34 values; each answered
inline constexpr uint8_t ReadAll = 70;     // block reply of the 34 values
inline constexpr uint8_t Query = 170;      // opens a model-index or measurement query
inline constexpr uint8_t QueryModel = 20;  // 170, 20, 97: then one more answer, the model index
inline constexpr uint8_t ModelOperand = 97;
inline constexpr uint8_t StoreModel = 65;   // 65, 0, 97, model index; each answered
inline constexpr uint8_t QueryMeasure = 50; // 170, 50, then Refl or Forw
inline constexpr uint8_t Refl = 60;         // its answer is the reflected-power reading
inline constexpr uint8_t Forw = 70;         // its answer is the forward-power reading
inline constexpr uint8_t ReadSerial = 80;   // 80, 0, k: the answer to k is serial byte k
inline constexpr uint8_t ReadDate = 125;    // block reply of 4 bytes
inline constexpr uint8_t Telemetry = 140;   // block reply of the 8 DAC values
inline constexpr uint8_t ZeroOperand = 0;   // the second byte of 55, 65 and 80

// Front-panel keys, unanswered.
inline constexpr uint8_t ChannelUp = 90;
inline constexpr uint8_t ChannelDown = 95;
inline constexpr uint8_t ReceiveMode = 50;
inline constexpr uint8_t Squelch = 100;
inline constexpr uint8_t VolumeUp = 105;
inline constexpr uint8_t VolumeDown = 110;
inline constexpr uint8_t TransmitMinPower = 115;
inline constexpr uint8_t TransmitMaxPower = 120;
inline constexpr uint8_t Scrambler = 180;

} // namespace Command

namespace Pause {

inline constexpr unsigned AfterDisconnect = 100;
inline constexpr unsigned BeforeModelQuery = 200;
inline constexpr unsigned AfterRefl = 300;
inline constexpr unsigned SerialByte = 10;
inline constexpr unsigned BeforeTelemetryBlock = 100;
inline constexpr unsigned AfterPanelKey = 200;
inline constexpr unsigned AfterScramblerKey = 100;

} // namespace Pause

// Budgets, in idle polls of 1 ms.
namespace Budget {

inline constexpr int Answer = 250;  // WaitAnswer
inline constexpr int Block = 200;   // block receive: first budget, and again after every byte
inline constexpr int Connect = 350; // first budget of the handshake

} // namespace Budget

// Line settings of the station link.
namespace Line {

inline constexpr int Baud = 1200;
inline constexpr int DataBits = 8;
inline constexpr int StopBits = 1;
inline constexpr int BufferSize = 100;

} // namespace Line
