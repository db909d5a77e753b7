#pragma once
// Waiting for the station's answers. Exchanges run on the user-interface thread and block it.
#include <cstdint>
#include <span>

class TForm1;

// Waits for one answer byte: LinkAck and LastReply tell the result. Any byte counts, a stray one
// left from before included. On time-out shows the link-lost box; the caller abandons its exchange.
void WaitAnswer(TForm1 &form);

// Takes block.size() bytes. The budget starts at firstBudget idle polls and is 200 again after
// every byte; false when it runs out before the block is complete.
bool ReceiveBlock(TForm1 &form, std::span<uint8_t> block, int firstBudget);

// Sends one byte and waits for its answer; false when the answer did not come.
bool SendAnswered(TForm1 &form, uint8_t byte);

// The write-all exchange: 60, then ParamValues 1..34, each answered; false at the first answer
// that did not come (the station may then hold a partial set).
bool SendAllValues(TForm1 &form);

inline constexpr const char *LinkLostMessage =
    "Связь со станцией прервалась. Предыдущая команда не выполнена.";
