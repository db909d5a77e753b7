#pragma once
// A record of the exchanges with the station that a technician can read (kstune --trace FILE).
// Each connect writes a header line: the version, the COM number, the device and the line
// settings, or why the port did not open. Then comes one line per exchange, written as the
// exchange ends:
//
//   2026-12-07 16:50:04.123 | Параметр + | 37 00 42 54  DEV (18) = 84 | ← 00 00 00 00  12.4 мс
//   2026-12-07 16:50:09.876 | Чтение | 46  Чтение | ← UNCH_ON140_146=12 … G_OFF=55  291.0 мс
//   2026-12-07 16:50:10.090 | Канал + | 5A  Канал + | ответ не ожидается
//   2026-12-07 16:50:12.000 | Enter | 37 00 43  CORF (19) | ← 00 00  нет ответа (251 мс)
//
// The time, the operation that caused it (the button or key), the bytes sent with their meaning
// from the command set, named as the window names them, and what came back with the time from
// the first byte sent to the last byte received. Blocks of values (Запись, Чтение, ЦАП) are
// shown by parameter, "name=value", rather than byte by byte. The record only watches: it
// changes nothing of what the tool does.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TTraceRecord {
public:
  // The record's sense of time; the program's is the system clock, a test gives its own.
  struct TClock {
    virtual ~TClock() = default;
    virtual double Millis() = 0;          // monotonic, in milliseconds
    virtual std::string WallTime() = 0;   // "2026-12-07 16:50:04.123"
  };
  // Takes one finished line without its newline; false when it could not be written.
  using TSink = std::function<bool(const std::string &line)>;

  TTraceRecord(TClock &clock, TSink sink, std::string version);

  void Sent(uint8_t byte);
  void Received(uint8_t byte);
  // The answer awaited now did not come within its budget.
  void AnswerMissing();
  // What the technician did last: it names the exchanges that follow.
  void Operation(const std::string &name);
  // settings as "1200 8N1"; device as the path tried, with its link target when it is a link.
  void PortOpened(int comNumber, const std::string &device, const std::string &settings);
  void PortOpenFailed(int comNumber, const std::string &device, const std::string &reason);
  // A line of its own, for what the tool did to the line outside an exchange.
  void Note(const std::string &text);
  // Writes an exchange that is still open (the trace ends, or something new happened).
  void Flush();
  // False once a line could not be written; the record then writes nothing more.
  bool Writable() const { return writable_; }

private:
  struct TExchange {
    std::string operation;
    std::string wallTime;
    double start = 0;     // first byte sent
    double lastSend = 0;
    double lastByte = 0;  // last byte received
    std::vector<uint8_t> sent;
    std::vector<uint8_t> received;
  };

  void Begin();
  void End(bool missing);
  bool Complete() const;
  void Write(const std::string &line);

  TClock &clock_;
  TSink sink_;
  std::string version_;
  std::string operation_ = "—";
  bool open_ = false;
  bool writable_ = true;
  TExchange x_;
};

// The program's one trace, into a file.

// Appends to fileName from now on; version goes into the header lines. False, with the reason
// in error, when the file cannot be opened for writing; the trace then stays off.
bool StartTrace(const std::string &fileName, const std::string &version, std::string &error);
// Writes the exchange in progress and closes the file; the trace is off afterwards.
void StopTrace();
bool TraceOn();

void SetTraceOperation(const std::string &name);
// Called by the exchange routines when the awaited answer did not come.
void TraceAnswerMissing();
// A command dropped this many stale bytes from the input before it started.
void TraceStaleInput(unsigned count);
void TracePortOpened(int comNumber, const std::string &device, const std::string &settings);
void TracePortOpenFailed(int comNumber, const std::string &device, const std::string &reason);
void TraceNote(const std::string &text);
