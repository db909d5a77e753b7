#include "link/Trace.h"

#include "link/CommandSet.h"
#include "table/ParamList.h"
#include "serial/AdPort.h"

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>

namespace {

std::string Hex(uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

std::string HexList(const std::vector<uint8_t> &bytes, size_t from = 0) {
  std::string text;
  for (size_t i = from; i < bytes.size(); ++i)
    text += (text.empty() ? "" : " ") + Hex(bytes[i]);
  return text;
}

std::string Millis(double ms, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f мс", decimals, ms);
  return text;
}

// How many bytes an exchange sends and how many answer bytes it awaits, by its opening bytes.
struct TShape {
  size_t sends;
  size_t answers;
};

TShape ShapeOf(const std::vector<uint8_t> &sent) {
  using namespace Command;
  switch (sent[0]) {
  case Connect:
    return {1, 1};
  case SetValue:
  case StoreModel:
    return {4, 4};
  case WriteAll:
    return {1 + params::ParamCount, 1 + params::ParamCount};
  case ReadAll:
    return {1, params::ParamCount};
  case Query:
    // 170, 20, 97 answers one byte more: the model index.
    return sent.size() > 1 && sent[1] == QueryModel ? TShape{3, 4} : TShape{3, 3};
  case ReadSerial:
    return {3, 3};
  case ReadDate:
    return {1, 4};
  case Telemetry:
    return {1, 8};
  default:
    return {1, 0}; // the disconnect and the front panel's keys are not answered
  }
}

std::string ParamName(uint8_t address) {
  for (const auto &p : params::Params)
    if (p.address == address)
      return (p.key.empty() ? std::string() : std::string(p.key) + " ") + "(" + std::to_string(p.number) + ")";
  return "адрес 0x" + Hex(address);
}

// A value of a block by its parameter: "CORF=120", or "№13=0" for the five the window does not show.
std::string NamedValue(int number, uint8_t value) {
  const auto p = params::ParamByNumber(number);
  const std::string name = p && !p->key.empty() ? std::string(p->key) : "№" + std::to_string(number);
  return name + "=" + std::to_string(value);
}

// The values of a write-all or read-all block, the first at parameter 1.
std::string NamedValues(const std::vector<uint8_t> &bytes, size_t from) {
  std::string text;
  for (size_t i = from; i < bytes.size(); ++i)
    text += (text.empty() ? "" : " ") + NamedValue(static_cast<int>(i - from + 1), bytes[i]);
  return text;
}

// The DAC block in the order it arrives, named as the "ЦАП" display names its values.
constexpr const char *DacNames[] = {"P1", "TUN", "CORF", "POW", "MOD2", "MOD1", "AF1", "VC"};

std::string NamedDacValues(const std::vector<uint8_t> &bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i)
    text += (text.empty() ? "" : " ") +
            (i < std::size(DacNames) ? std::string(DacNames[i]) + "=" + std::to_string(bytes[i]) : Hex(bytes[i]));
  return text;
}

// The window's caption of the control that sends the command.
std::string CommandCaption(uint8_t command) {
  using namespace Command;
  switch (command) {
  case Disconnect:
    return "Отключиться";
  case ChannelUp:
    return "Канал +";
  case ChannelDown:
    return "Канал -";
  case ReceiveMode:
    return "Прием";
  case Squelch:
    return "ШП";
  case VolumeUp:
    return "Громкость +";
  case VolumeDown:
    return "Громкость -";
  case TransmitMinPower:
    return "Pmin";
  case TransmitMaxPower:
    return "Pmax";
  case Scrambler:
    return "Маскиратор";
  default:
    return "неизвестная команда";
  }
}

// ", получено n из N" (or "отправлено") for a block that stopped short.
std::string ShortBlock(const char *done, size_t got, size_t wanted) {
  return got < wanted ? std::string(", ") + done + " " + std::to_string(got) + " из " + std::to_string(wanted)
                      : std::string();
}

// Blocks of values are shown by parameter, everything else byte by byte.
bool NamedBlock(const std::vector<uint8_t> &sent) {
  return sent[0] == Command::WriteAll || sent[0] == Command::ReadAll || sent[0] == Command::Telemetry;
}

// What was sent, from the command set: the bytes, then their meaning. received holds the
// answers so far.
std::string Meaning(const std::vector<uint8_t> &sent, const std::vector<uint8_t> &received) {
  using namespace Command;
  const auto answer = [&](size_t i) { return i < received.size() ? " " + std::to_string(received[i]) : std::string(); };
  const std::string command = Hex(sent[0]);
  switch (sent[0]) {
  case Connect:
    return command + "  Подключиться";
  case SetValue:
    if (sent.size() < 3)
      return HexList(sent) + "  значение параметра";
    return HexList(sent) + "  " + ParamName(sent[2]) + (sent.size() > 3 ? " = " + std::to_string(sent[3]) : std::string());
  case WriteAll:
    return command + "  Запись" + ShortBlock("отправлено", sent.size() - 1, params::ParamCount) +
           (sent.size() > 1 ? ": " + NamedValues(sent, 1) : std::string());
  case ReadAll:
    return command + "  Чтение" + ShortBlock("получено", received.size(), params::ParamCount);
  case StoreModel:
    return HexList(sent) + "  Ok, индекс модели" + (sent.size() > 3 ? " " + std::to_string(sent[3]) : std::string());
  case Query:
    if (sent.size() > 1 && sent[1] == QueryModel)
      return HexList(sent) + " → индекс модели" + answer(3);
    if (sent.size() > 2 && sent[1] == QueryMeasure && (sent[2] == Refl || sent[2] == Forw))
      return HexList(sent) + " → " + (sent[2] == Refl ? "REFL" : "FORW") + (received.size() > 2 ? " =" + answer(2) : "");
    return HexList(sent) + " → измерение";
  case ReadSerial:
    return HexList(sent) + (sent.size() > 2 ? " → серийный номер, байт " + std::to_string(sent[2]) +
                                                  (received.size() > 2 ? " =" + answer(2) : "")
                                            : " → серийный номер");
  case ReadDate:
    return command + " → Дата Процессора" + ShortBlock("получено", received.size(), 4);
  case Telemetry:
    return command + " → ЦАП" + ShortBlock("получено", received.size(), 8);
  default:
    return command + "  " + CommandCaption(sent[0]);
  }
}

// What came back: blocks of values by name, other answers in hexadecimal.
std::string Answers(const std::vector<uint8_t> &sent, const std::vector<uint8_t> &received) {
  if (sent.empty() || !NamedBlock(sent) || sent[0] == Command::WriteAll)
    return HexList(received);
  return sent[0] == Command::ReadAll ? NamedValues(received, 0) : NamedDacValues(received);
}

} // namespace

TTraceRecord::TTraceRecord(TClock &clock, TSink sink, std::string version)
    : clock_(clock), sink_(std::move(sink)), version_(std::move(version)) {}

void TTraceRecord::Write(const std::string &line) {
  if (writable_ && !sink_(line))
    writable_ = false;
}

bool TTraceRecord::Complete() const {
  const TShape shape = ShapeOf(x_.sent);
  return x_.sent.size() >= shape.sends && x_.received.size() >= shape.answers;
}

void TTraceRecord::Begin() {
  x_ = TExchange{};
  x_.operation = operation_;
  x_.wallTime = clock_.WallTime();
  x_.start = x_.lastSend = x_.lastByte = clock_.Millis();
  open_ = true;
}

void TTraceRecord::End(bool missing) {
  if (!open_)
    return;
  open_ = false;
  std::string line = x_.wallTime + " | " + x_.operation + " | ";
  if (x_.sent.empty()) {
    line += "— | ← " + HexList(x_.received) + "  без запроса";
  } else {
    // "AA 14 61 → индекс модели 1": a reply's meaning follows an arrow, a command's two blanks.
    line += Meaning(x_.sent, x_.received) + " | ";
    if (!x_.received.empty())
      line += "← " + Answers(x_.sent, x_.received) + "  ";
    if (missing)
      line += "нет ответа (" + Millis(clock_.Millis() - std::max(x_.lastSend, x_.lastByte), 0) + ")";
    else if (!Complete())
      line += "прервано"; // ended by something else before its answers came
    else if (!x_.received.empty())
      line += Millis(x_.lastByte - x_.start, 1);
    else
      line += "ответ не ожидается";
  }
  Write(line);
}

void TTraceRecord::Sent(uint8_t byte) {
  // A send after the exchange sent all its bytes opens the next one.
  if (open_ && (x_.sent.empty() || x_.sent.size() >= ShapeOf(x_.sent).sends))
    End(false);
  if (!open_)
    Begin();
  x_.sent.push_back(byte);
  x_.lastSend = clock_.Millis();
  if (Complete())
    End(false);
}

void TTraceRecord::Received(uint8_t byte) {
  // A byte nobody asked for is shown on its own line; the next wait will take it as its answer.
  if (!open_)
    Begin();
  x_.received.push_back(byte);
  x_.lastByte = clock_.Millis();
  if (!x_.sent.empty() && Complete())
    End(false);
}

void TTraceRecord::AnswerMissing() {
  if (!open_)
    Begin();
  End(true);
}

void TTraceRecord::Operation(const std::string &name) {
  End(false);
  operation_ = name;
}

void TTraceRecord::PortOpened(int comNumber, const std::string &device, const std::string &settings) {
  End(false);
  Write(clock_.WallTime() + " | kstune " + version_ + " | COM" + std::to_string(comNumber) + " " + device +
        " | " + settings);
}

void TTraceRecord::PortOpenFailed(int comNumber, const std::string &device, const std::string &reason) {
  End(false);
  Write(clock_.WallTime() + " | kstune " + version_ + " | COM" + std::to_string(comNumber) + " " + device +
        " | не открыт: " + reason);
}

void TTraceRecord::Note(const std::string &text) {
  End(false);
  Write(clock_.WallTime() + " | " + operation_ + " | " + text);
}

void TTraceRecord::Flush() { End(false); }

namespace {

class TSystemClock : public TTraceRecord::TClock {
public:
  double Millis() override {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  std::string WallTime() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char withMs[40];
    std::snprintf(withMs, sizeof withMs, "%s.%03d", text, static_cast<int>(ms));
    return withMs;
  }
};

struct TFileTrace {
  std::FILE *file = nullptr;
  TSystemClock clock;
  std::unique_ptr<TTraceRecord> record;
};

TFileTrace &Trace() {
  static TFileTrace trace;
  return trace;
}

bool Put(std::FILE *file, const std::string &line) {
  errno = 0;
  return std::fputs(line.c_str(), file) >= 0 && std::fputc('\n', file) != EOF && std::fflush(file) == 0;
}

// Runs f on the record while the trace is on. A trace that can no longer be written (a full
// disk, a removed stick) is said once on stderr and ends; the work at the bench goes on.
template <typename F> void OnRecord(F &&f) {
  TFileTrace &trace = Trace();
  if (!trace.record)
    return;
  f(*trace.record);
  if (!trace.record->Writable()) {
    std::fprintf(stderr, "kstune: the trace can no longer be written: %s; the trace ends here\n",
                 std::strerror(errno ? errno : EIO));
    TApdCustomComPort::SetByteTap({});
    trace.record.reset();
    std::fclose(trace.file);
    trace.file = nullptr;
  }
}

} // namespace

bool StartTrace(const std::string &fileName, const std::string &version, std::string &error) {
  StopTrace();
  std::FILE *file = std::fopen(fileName.c_str(), "a");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  TFileTrace &trace = Trace();
  if (!Put(file, trace.clock.WallTime() + " | kstune " + version + " | запись обмена начата")) {
    error = std::strerror(errno ? errno : EIO);
    std::fclose(file);
    return false;
  }
  trace.file = file;
  trace.record = std::make_unique<TTraceRecord>(
      trace.clock, [file](const std::string &line) { return Put(file, line); }, version);
  TApdCustomComPort::SetByteTap([](char kind, uint8_t byte) {
    OnRecord([&](TTraceRecord &r) { kind == 'T' ? r.Sent(byte) : r.Received(byte); });
  });
  return true;
}

void StopTrace() {
  TFileTrace &trace = Trace();
  OnRecord([](TTraceRecord &r) { r.Flush(); });
  if (!trace.record)
    return;
  TApdCustomComPort::SetByteTap({});
  trace.record.reset();
  std::fclose(trace.file);
  trace.file = nullptr;
}

bool TraceOn() { return Trace().record != nullptr; }

void SetTraceOperation(const std::string &name) {
  OnRecord([&](TTraceRecord &r) { r.Operation(name); });
}

void TraceAnswerMissing() {
  OnRecord([](TTraceRecord &r) { r.AnswerMissing(); });
}

void TracePortOpened(int comNumber, const std::string &device, const std::string &settings) {
  OnRecord([&](TTraceRecord &r) { r.PortOpened(comNumber, device, settings); });
}

void TracePortOpenFailed(int comNumber, const std::string &device, const std::string &reason) {
  OnRecord([&](TTraceRecord &r) { r.PortOpenFailed(comNumber, device, reason); });
}

void TraceNote(const std::string &text) {
  OnRecord([&](TTraceRecord &r) { r.Note(text); });
}

void TraceStaleInput(unsigned count) {
  TraceNote("отброшено из входа устаревших байтов: " + std::to_string(count));
}
