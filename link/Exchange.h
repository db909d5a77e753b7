#pragma once
// Waiting for the station's answers. Exchanges run on the user-interface thread and block it.
#include <chrono>
#include <cstdint>
#include <span>

class TForm1;

// Waits for one answer byte: LinkAck and LastReply tell the result. Any byte counts, a stray one
// left from before included. On time-out shows the link-lost box; the caller abandons its exchange.
void WaitAnswer(TForm1 &form);

// Takes block.size() bytes. The budget starts at firstBudget idle polls and is 200 again after
// every byte; false when it runs out before the block is complete.
bool ReceiveBlock(TForm1 &form, std::span<uint8_t> block, int firstBudget);

// Sends one byte to the station. Behind an adapter that gives back what it sends, its echo is
// counted, to be taken off before the next answer is awaited.
void SendToStation(TForm1 &form, uint8_t byte);

// Whether the first byte back after sending `sent` is the adapter's echo of it: the same byte,
// back as its last bit left the wire (one byte time after the send), sooner than a station can
// have heard it and sent a whole byte of its own (two byte times). A byte back sooner than one
// byte time is no echo either: it never crossed a real line (a pseudo-terminal has no line time).
bool LooksLikeEcho(uint8_t sent, uint8_t back, std::chrono::steady_clock::duration after, int baud);

// Every command starts here: whatever waits in the input is stale (an answer that came after its
// wait, a byte sent unasked) and would otherwise be taken as the answer to the next byte, putting
// every later answer one behind. Returns how many bytes were dropped; the trace notes them.
unsigned PurgeStaleInput(TForm1 &form);

// Looks for a byte arriving within ms after a block reply is complete. The station sends no more
// than the block, so one that does arrive means the block was not its values: a station that
// answers twice, or an echo that was not recognised at connect. Takes nothing from the input.
bool SurplusWithin(TForm1 &form, int ms);
// Tells the technician why a block with a surplus was refused.
void ReportSurplus(TForm1 &form);

// Sends one byte and waits for its answer; false when the answer did not come.
bool SendAnswered(TForm1 &form, uint8_t byte);

// The write-all exchange: 60, then ParamValues 1..34, each answered; false at the first answer
// that did not come (the station may then hold a partial set).
bool SendAllValues(TForm1 &form);

inline constexpr const char *SurplusMessage =
    "Пришло больше байтов, чем передаёт станция: проверьте, не возвращает ли адаптер посланное (эхо)";

inline constexpr const char *EchoDroppedMessage =
    "Адаптер возвращает посланные байты (эхо): kstune отбрасывает это эхо";
inline constexpr const char *EchoOnlyMessage =
    "Адаптер возвращает посланные байты (эхо), а станция не ответила";

inline constexpr const char *LinkLostMessage =
    "Связь со станцией прервалась. Предыдущая команда не выполнена.";
