#pragma once
// The simulated station: serves the station's side of the whole command set on a pseudo-terminal,
// on a thread of its own, with fault injection and optional 1200-baud pacing. Every method is
// thread-safe; tests call them while a client talks to the station.
//
// As on a real line, what the station sends while no client has the port open is lost (answers
// still on their way when the client closed included): open the port before expecting bytes.
//
//   TSimStation station;
//   station.Start({.ComNumber = 2});         // links <stand-in dir>/com2 to the pseudo-terminal
//   ... the tool opens COM2 and talks ...
//   station.WaitReceived(1, 2s);             // the handshake arrived
//   EXPECT_EQ(station.Received(), (std::vector<std::uint8_t>{250}));
#include "station/ExchangeParser.h"
#include "station/StationState.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

class TPseudoTerminal;
class TComLink;

struct TStationOptions {
  int ComNumber = 0; // > 0: link <stand-in dir>/com<ComNumber> to the pseudo-terminal
  bool Pace = false; // 1200 baud: every byte in either direction takes 10 bit times
  std::function<void(const std::string &)> Log = {}; // one line per exchange; called on the station's thread
};

struct TReceivedByte {
  std::uint8_t Byte;
  std::chrono::steady_clock::time_point
      At; // when it has fully arrived (paced: up to a byte time after it is seen)
};

class TSimStation {
public:
  using Clock = std::chrono::steady_clock;

  TSimStation();
  ~TSimStation(); // Stop()
  TSimStation(const TSimStation &) = delete;
  TSimStation &operator=(const TSimStation &) = delete;

  // Opens the pseudo-terminal, makes the link and starts serving. Throws TStationError.
  void Start(const TStationOptions &options = {});
  // Stops serving, closes the pseudo-terminal and removes the link. Safe to call twice.
  void Stop();

  std::string SlavePath() const;
  // The line as the client set it: what the station reads from its end of the pseudo-terminal.
  termios ClientTermios() const;
  std::filesystem::path LinkPath() const; // empty without a link
  // The target of a stale link into /dev/pts that Start replaced; empty when none was.
  std::filesystem::path ReplacedLinkTarget() const;

  // What arrived, in order, since Start or ClearReceived.
  std::vector<std::uint8_t> Received() const;
  std::vector<TReceivedByte> ReceivedWithTimes() const;
  // Waits until at least count bytes have arrived; false on time-out.
  bool WaitReceived(std::size_t count, std::chrono::milliseconds timeout) const;
  // What the station has written to the line (replies and stray bytes), since Start or ClearReceived.
  std::vector<std::uint8_t> Sent() const;
  bool WaitSent(std::size_t count, std::chrono::milliseconds timeout) const;
  void ClearReceived(); // clears Received and Sent
  // True while the station holds a half-heard exchange, which it drops after ExchangeTimeout of
  // quiet on the line; until then a new command is taken as the exchange's next byte.
  bool MidExchange() const;
  // Protocol violations, one text each: bytes that stood where the command set has no place for
  // them (a wrong command, operand or device address), and exchanges opened while the client's
  // line was not 1200 baud, 8 data bits, no parity, 1 stop bit. Each is also logged.
  std::vector<std::string> ProtocolErrors() const;
  // Bytes the tool sent while the station's answer to the byte before was still due: a tool
  // that took something else for that answer (a stale byte, an echo) and went on one behind.
  // Answers delayed past the tool's budget are not waited for and do not count.
  std::vector<std::uint8_t> EarlyBytes() const;

  // State. Setters may be used before Start as well.
  std::uint8_t Value(std::uint8_t address) const;
  void SetValue(std::uint8_t address, std::uint8_t value);
  std::array<std::uint8_t, StationProtocol::ParamCount> ParamValues() const;
  void SetParamValues(const std::array<std::uint8_t, StationProtocol::ParamCount> &values);
  std::uint8_t ModelIndex() const;
  void SetModelIndex(std::uint8_t index);
  std::array<std::uint8_t, StationProtocol::SerialCount> SerialNumber() const;
  void SetSerialNumber(const std::array<std::uint8_t, StationProtocol::SerialCount> &serial);
  std::array<std::uint8_t, StationProtocol::DateCount> ProcessorDate() const;
  void SetProcessorDate(const std::array<std::uint8_t, StationProtocol::DateCount> &date);
  TFrontPanel Panel() const;
  void SetPanel(const TFrontPanel &panel);
  std::array<std::uint8_t, StationProtocol::DacCount> DacValues() const;
  std::uint8_t Refl() const;
  std::uint8_t Forw() const;

  // Faults, settable at any time.
  // Serve the next n received bytes, then answer nothing (bytes are still taken in); nullopt: answer again.
  void StopAnsweringAfter(std::optional<std::size_t> n);
  // Send only the first n bytes of every block reply (70, 125, 140); nullopt: whole blocks.
  void CutBlocksTo(std::optional<std::size_t> n);
  // Send the next n reply bytes, then nothing more (bytes are still taken in): a station that dies
  // in the middle of a reply, after the answer to 97 but before the model index, say; nullopt: no limit.
  void StopSendingAfter(std::optional<std::size_t> n);
  // Every reply leaves this much later than it would.
  void SetAnswerDelay(std::chrono::milliseconds delay);
  // Every reply byte goes out as 0.
  void SetZeroAnswers(bool on);
  // The line gives back every byte the tool sends, as a two-wire converter with its receiver on
  // does: the byte comes back as its last bit leaves the wire, a byte time after it was sent and
  // a byte time before the station's reply to it can have arrived. The line then keeps 1200-baud
  // timing, as with pacing.
  void SetEcho(bool on);
  // A slow station: each byte of a reply leaves this long after the one before it (within the
  // tool's 200 ms between the bytes of a block).
  void SetReplyGap(std::chrono::milliseconds gap);
  // Every reply goes out twice: a single answer as two bytes, a block reply as two blocks.
  void SetDoubleAnswers(bool on);
  // Queues bytes that answer nothing, at once.
  void SendStray(const std::vector<std::uint8_t> &bytes);
  // Closes the master as an unplugged adapter would; the link is left dangling (a missing device)
  // until Stop. Returns once the line is down. Not from the log callback.
  void HangUp();
  bool HungUp() const;
  void ClearFaults(); // all of the above but HangUp

  void SetPacing(bool on);
  void SetLog(std::function<void(const std::string &)> log);

  // A half-finished exchange is given up after this long without a byte either way, so that a
  // tool which abandoned one is understood again at its next command.
  static constexpr std::chrono::milliseconds ExchangeTimeout{1000};

private:
  enum class TOutKind {
    Reply,  // sent by the station, unawaited (a second copy, a stray byte, a late answer)
    Answer, // sent by the station, awaited by the tool before its next byte
    Echo,   // the tool's own byte coming back: the line's, not the station's transmitter
  };
  struct TOutByte {
    std::uint8_t Byte;
    Clock::time_point Ready; // not before this
    TOutKind Kind = TOutKind::Reply;
  };

  void Run();
  void ReadMaster(Clock::time_point now);
  void Serve(std::uint8_t byte, Clock::time_point at);
  std::vector<std::string> LineViolations() const;
  void NoteViolations(const std::vector<std::string> &violations);
  bool CountAnswer();
  std::string Silence(std::vector<std::uint8_t> &reply);
  std::string Distort(TParseResult &r, std::size_t &awaited);
  void GiveUpExchange(std::string &note);
  void Echo(std::uint8_t byte, Clock::time_point at);
  void NoteExchange(const std::string &note, const std::vector<std::string> &lines);
  void WriteDue(Clock::time_point now);
  void CheckClients();
  void DropUnheard(); // nobody has the port open: what would be sent now is lost
  Clock::time_point NextWrite() const;
  bool LineTimed() const { return pace_ || echo_; }
  void DoHangUp();
  void Wake() const;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  TStationState state_;
  TExchangeParser parser_;

  std::unique_ptr<TPseudoTerminal> pty_;
  std::unique_ptr<TComLink> link_;
  std::thread thread_;
  int wakeRead_ = -1, wakeWrite_ = -1;
  bool stopRequested_ = false;
  bool hangUpRequested_ = false;
  bool hungUp_ = false;

  std::deque<TOutByte> outbound_;
  Clock::time_point rxLineFree_{}, txLineFree_{}; // when the line is next free, each direction
  Clock::time_point lastActivity_{};
  bool writeBlocked_ = false;

  std::vector<TReceivedByte> received_;
  std::vector<std::uint8_t> sent_;
  std::vector<std::string> errors_;
  std::vector<std::uint8_t> early_;
  std::vector<std::string> pendingLog_;
  std::string exchangeNote_; // faults met by the open exchange, for its log line

  bool pace_ = false;
  std::function<void(const std::string &)> log_;
  std::optional<std::size_t> answersLeft_;
  std::optional<std::size_t> blockCut_;
  std::optional<std::size_t> sendsLeft_;
  std::chrono::milliseconds delay_{0};
  std::chrono::milliseconds gap_{0};
  bool zeroAnswers_ = false;
  bool echo_ = false;
  bool doubleAnswers_ = false;
};
