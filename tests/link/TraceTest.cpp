// The trace a technician reads: the record on its own against a clock the test moves, and one
// session of the real window against the bytes the simulated station received.
#include "link/Trace.h"
#include "main/CommandLine.h"
#include "main/OperationWatcher.h"
#include "params/ParamTable.h"
#include "tests/params/EditingFixture.h"

#include <QFile>

#include <optional>

namespace {

class TFakeClock : public TTraceRecord::TClock {
public:
  double Millis() override { return now; }
  std::string WallTime() override { return "T"; }
  double now = 0;
};

// One step of what the record sees: a byte sent or received, a wait, a missing answer.
struct TStep {
  char kind; // 'T' sent, 'R' received, 'W' wait (ms), 'M' answer missing, 'O' operation
  int value = 0;
};

std::vector<TStep> Answered(std::initializer_list<int> sent, int answer = 0, int wait = 3) {
  std::vector<TStep> steps;
  for (int b : sent)
    steps.insert(steps.end(), {{'T', b}, {'W', wait}, {'R', answer}});
  return steps;
}

std::vector<TStep> operator+(std::vector<TStep> a, const std::vector<TStep> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Repeat(const std::string &item, int times) {
  std::string text;
  for (int i = 0; i < times; ++i)
    text += (i ? " " : "") + item;
  return text;
}

std::vector<std::string> Record(const std::vector<TStep> &steps) {
  TFakeClock clock;
  std::vector<std::string> lines;
  TTraceRecord record(
      clock, [&](const std::string &line) { lines.push_back(line); return true; }, "0.1");
  record.Operation("Кнопка");
  for (const TStep &s : steps) {
    switch (s.kind) {
    case 'T': record.Sent(uint8_t(s.value)); break;
    case 'R': record.Received(uint8_t(s.value)); break;
    case 'W': clock.now += s.value; break;
    case 'M': record.AnswerMissing(); break;
    }
  }
  record.Flush();
  return lines;
}

// The 34 values in block order, as the parameter table names them (13..17 have no name).
const char *const kBlockNames[] = {
    "UNCH_ON140_146", "UNCH_ON146_148", "UNCH_ON148_154", "UNCH_ON154_162", "UNCH_ON162_170", "UNCH_ON170_174",
    "UNCH_OFF140_146", "UNCH_OFF146_148", "UNCH_OFF148_154", "UNCH_OFF154_162", "UNCH_OFF162_170",
    "UNCH_OFF170_174", "№13", "№14", "№15", "№16", "№17", "DEV", "CORF", "AF1", "MOD2", "D_ON", "D_OFF", "TUNE",
    "POW_5", "P1_5", "POW_10", "P1_10", "POW_25", "P1_25", "POW_40", "P1_40", "G_ON", "G_OFF"};

// "UNCH_ON140_146=v1 UNCH_ON146_148=v2 …" for the first values.size() parameters.
std::string Named(const std::vector<int> &values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i)
    text += (i ? " " : "") + std::string(kBlockNames[i]) + "=" + std::to_string(values[i]);
  return text;
}

std::vector<int> Counting(int count) {
  std::vector<int> values;
  for (int v = 1; v <= count; ++v)
    values.push_back(v);
  return values;
}

} // namespace

// Every exchange of the command set as one line, with its meaning, its answers and their time.
TEST(TraceRecord, EachExchangeOfTheCommandSetIsOneLineWithItsMeaning) {
  std::vector<TStep> readAll = {{'T', 0x46}, {'W', 10}};
  for (int v = 1; v <= 34; ++v)
    readAll.insert(readAll.end(), {{'R', v}, {'W', 1}});
  std::vector<TStep> writeAll = Answered({0x3C});
  for (int v = 0; v < 34; ++v)
    writeAll = writeAll + Answered({0x10}, 0, 1);
  std::vector<TStep> telemetry = {{'T', 0x8C}, {'W', 100}};
  for (int v = 0; v < 8; ++v)
    telemetry.insert(telemetry.end(), {{'R', 0x80 + v}, {'W', 2}});

  struct Row {
    const char *what;
    std::vector<TStep> steps;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"connect", {{'T', 0xFA}, {'W', 5}, {'R', 0}}, {"T | Кнопка | FA  Подключиться | ← 00  5.0 мс"}},
      {"disconnect", {{'T', 0xC8}}, {"T | Кнопка | C8  Отключиться | ответ не ожидается"}},
      {"set value DEV", Answered({0x37, 0x00, 0x42, 0x54}),
       {"T | Кнопка | 37 00 42 54  DEV (18) = 84 | ← 00 00 00 00  12.0 мс"}},
      {"set value of a grid cell", Answered({0x37, 0x00, 0x23, 0x05}),
       {"T | Кнопка | 37 00 23 05  UNCH_OFF148_154 (9) = 5 | ← 00 00 00 00  12.0 мс"}},
      // Blocks of values by parameter, as the technician knows them.
      {"write all", writeAll,
       {"T | Кнопка | 3C  Запись: " + Named(std::vector<int>(34, 16)) + " | ← " + Repeat("00", 35) + "  37.0 мс"}},
      {"read all", readAll, {"T | Кнопка | 46  Чтение | ← " + Named(Counting(34)) + "  43.0 мс"}},
      {"model index", Answered({0xAA, 0x14, 0x61}) + std::vector<TStep>{{'W', 2}, {'R', 1}},
       {"T | Кнопка | AA 14 61 → индекс модели 1 | ← 00 00 00 01  11.0 мс"}},
      {"store model index", Answered({0x41, 0x00, 0x61, 0x02}),
       {"T | Кнопка | 41 00 61 02  Ok, индекс модели 2 | ← 00 00 00 00  12.0 мс"}},
      {"REFL", Answered({0xAA, 0x32}) + Answered({0x3C}, 0x17),
       {"T | Кнопка | AA 32 3C → REFL = 23 | ← 00 00 17  9.0 мс"}},
      {"FORW", Answered({0xAA, 0x32}) + Answered({0x46}, 0x20),
       {"T | Кнопка | AA 32 46 → FORW = 32 | ← 00 00 20  9.0 мс"}},
      {"serial byte", Answered({0x50, 0x00}) + Answered({0x02}, 0x12),
       {"T | Кнопка | 50 00 02 → серийный номер, байт 2 = 18 | ← 00 00 12  9.0 мс"}},
      {"processor date", {{'T', 0x7D}, {'W', 4}, {'R', 1}, {'R', 2}, {'R', 3}, {'R', 4}},
       {"T | Кнопка | 7D → Дата Процессора | ← 01 02 03 04  4.0 мс"}},
      {"telemetry", telemetry,
       {"T | Кнопка | 8C → ЦАП | ← P1=128 TUN=129 CORF=130 POW=131 MOD2=132 MOD1=133 AF1=134 VC=135  114.0 мс"}},
      {"front-panel keys, one line each, by their captions",
       {{'T', 0x5A}, {'T', 0x5F}, {'T', 0x32}, {'T', 0x64}, {'T', 0x69}, {'T', 0x6E}, {'T', 0x73}, {'T', 0x78},
        {'T', 0xB4}},
       {"T | Кнопка | 5A  Канал + | ответ не ожидается", "T | Кнопка | 5F  Канал - | ответ не ожидается",
        "T | Кнопка | 32  Прием | ответ не ожидается", "T | Кнопка | 64  ШП | ответ не ожидается",
        "T | Кнопка | 69  Громкость + | ответ не ожидается", "T | Кнопка | 6E  Громкость - | ответ не ожидается",
        "T | Кнопка | 73  Pmin | ответ не ожидается", "T | Кнопка | 78  Pmax | ответ не ожидается",
        "T | Кнопка | B4  Маскиратор | ответ не ожидается"}},
      {"a command the command set does not have", {{'T', 0x01}}, {"T | Кнопка | 01  неизвестная команда | ответ не ожидается"}},
      {"set value at an address of no parameter", Answered({0x37, 0x00, 0x30, 0x05}),
       {"T | Кнопка | 37 00 30 05  адрес 0x30 = 5 | ← 00 00 00 00  12.0 мс"}},
      // Missing answers: the line says which bytes went out, what came and how long it waited.
      {"set value, third answer missing", Answered({0x37, 0x00}) + std::vector<TStep>{{'T', 0x43}, {'W', 250}, {'M'}},
       {"T | Кнопка | 37 00 43  CORF (19) | ← 00 00  нет ответа (250 мс)"}},
      {"set value, second answer missing", Answered({0x37}) + std::vector<TStep>{{'T', 0x00}, {'W', 250}, {'M'}},
       {"T | Кнопка | 37 00  значение параметра | ← 00  нет ответа (250 мс)"}},
      {"connect, no answer", {{'T', 0xFA}, {'W', 351}, {'M'}}, {"T | Кнопка | FA  Подключиться | нет ответа (351 мс)"}},
      {"read all stopping short", {{'T', 0x46}, {'W', 5}, {'R', 9}, {'R', 8}, {'W', 201}, {'M'}},
       {"T | Кнопка | 46  Чтение, получено 2 из 34 | ← UNCH_ON140_146=9 UNCH_ON146_148=8  нет ответа (201 мс)"}},
      {"write all stopping short", Answered({0x3C, 0x10, 0x11}) + std::vector<TStep>{{'T', 0x12}, {'W', 250}, {'M'}},
       {"T | Кнопка | 3C  Запись, отправлено 3 из 34: UNCH_ON140_146=16 UNCH_ON146_148=17 UNCH_ON148_154=18 | ← 00 00 00  "
        "нет ответа (250 мс)"}},
      {"telemetry stopping short", {{'T', 0x8C}, {'W', 100}, {'R', 7}, {'R', 8}, {'W', 200}, {'M'}},
       {"T | Кнопка | 8C → ЦАП, получено 2 из 8 | ← P1=7 TUN=8  нет ответа (200 мс)"}},
      // A byte nobody asked for is shown, and the next command starts a line of its own.
      {"stray byte", {{'R', 7}, {'T', 0x5A}},
       {"T | Кнопка | — | ← 07  без запроса", "T | Кнопка | 5A  Канал + | ответ не ожидается"}},
      // Exchanges in a row stay apart even when the bytes follow at once.
      {"two set values", Answered({0x37, 0x00, 0x43, 0x01}, 0, 1) + Answered({0x37, 0x00, 0x43, 0x02}, 0, 1),
       {"T | Кнопка | 37 00 43 01  CORF (19) = 1 | ← 00 00 00 00  4.0 мс",
        "T | Кнопка | 37 00 43 02  CORF (19) = 2 | ← 00 00 00 00  4.0 мс"}},
  };
  for (const auto &r : rows)
    EXPECT_EQ(Record(r.steps), r.lines) << r.what;
}

TEST(TraceRecord, PortLinesOperationsAndNotes) {
  TFakeClock clock;
  std::vector<std::string> lines;
  TTraceRecord record(
      clock, [&](const std::string &line) { lines.push_back(line); return true; }, "0.1");
  record.PortOpenFailed(2, "/c/com2 → /dev/ttyUSB0", "ie_BadId - Specified comport doesn't exist");
  record.PortOpened(1, "/dev/ttyS0", "1200 8N1");
  record.Operation("Подключиться");
  record.Sent(0xFA);
  // Something new in the window ends an exchange that is still waiting.
  record.Operation("Отключиться");
  record.Note("3 stale bytes dropped");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "T | kstune 0.1 | COM2 /c/com2 → /dev/ttyUSB0 | не открыт: ie_BadId - Specified comport doesn't exist",
                       "T | kstune 0.1 | COM1 /dev/ttyS0 | 1200 8N1",
                       "T | Подключиться | FA  Подключиться | прервано",
                       "T | Отключиться | 3 stale bytes dropped",
                   }));
}

TEST(TraceRecord, ALineThatCannotBeWrittenEndsTheRecord) {
  TFakeClock clock;
  int calls = 0;
  TTraceRecord record(clock, [&](const std::string &) { ++calls; return false; }, "0.1");
  record.Sent(0x5A);
  EXPECT_FALSE(record.Writable());
  record.Sent(0x5F);
  record.Note("x");
  EXPECT_EQ(calls, 1);
}

namespace {

struct TLine {
  std::string operation, sent, received;
};

// "time | operation | sent  meaning | received"; header lines have "kstune …" as operation.
std::vector<TLine> ExchangeLines(const std::string &path) {
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  std::vector<TLine> lines;
  for (const QByteArray &raw : file.readAll().split('\n')) {
    const QStringList f = QString::fromUtf8(raw).split(QStringLiteral(" | "));
    if (f.size() < 4 || f[1].startsWith(QStringLiteral("kstune ")))
      continue;
    lines.push_back({f[1].toStdString(), f[2].toStdString(), f[3].toStdString()});
  }
  return lines;
}

std::vector<uint8_t> HexBytes(const std::string &text) {
  std::vector<uint8_t> bytes;
  for (const QString &word : QString::fromStdString(text).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int b = word.toInt(&ok, 16);
    if (!ok || word.size() != 2)
      break; // the meaning begins
    bytes.push_back(uint8_t(b));
  }
  return bytes;
}

// The bytes a line says were sent: the leading hexadecimal ones, then the values of a block
// shown by parameter after ": " ("3C  Запись: UNCH_ON140_146=16 …").
std::vector<uint8_t> SentBytes(const std::string &text) {
  std::vector<uint8_t> bytes = HexBytes(text);
  const size_t colon = text.find(": ");
  if (colon == std::string::npos)
    return bytes;
  for (const QString &word : QString::fromStdString(text.substr(colon + 2)).split(QLatin1Char(' '), Qt::SkipEmptyParts))
    bytes.push_back(uint8_t(word.section(QLatin1Char('='), 1).toInt()));
  return bytes;
}

} // namespace

class TraceTest : public EditingTest {
protected:
  void SetUp() override {
    EditingTest::SetUp();
    WatchOperations(*form);
  }
  void TearDown() override {
    StopTrace();
    EditingTest::TearDown();
  }
  std::string path = (dir.Root() / "trace.txt").string();
};

TEST_F(TraceTest, EachExchangeIsOneLineWithItsOperationBytesAndMissingAnswer) {
  struct Row {
    const char *operation;
    std::optional<std::size_t> answered;
  };
  // "Параметр +" on CORF from 250 with step 10, and Enter with 77 typed: 55, 0, 67, value.
  const Row rows[] = {{"Параметр +", std::nullopt}, {"Параметр +", 2}, {"Enter", std::nullopt}, {"Enter", 0}};
  for (const auto &r : rows) {
    std::filesystem::remove(path);
    std::string error;
    ASSERT_TRUE(StartTrace(path, "test", error)) << error;
    station.ClearReceived();
    station.StopAnsweringAfter(r.answered);
    const bool enter = std::string(r.operation) == "Enter";
    Field("Edit1")->setText(enter ? "77" : "250");
    CollectValues(*form);
    Focus(Field("Edit1"));
    form->RadioButton6->setChecked(true);
    enter ? Key(Qt::Key_Return) : form->BitBtn7->click();
    StopTrace();

    const std::vector<uint8_t> sent = {55, 0, 67, uint8_t(enter ? 77 : 4)};
    const std::size_t sentCount = r.answered ? *r.answered + 1 : 4;
    const std::vector<uint8_t> answers = station.Sent();
    const auto lines = ExchangeLines(path);
    ASSERT_EQ(lines.size(), 1u) << r.operation << ": one line for the whole exchange";
    EXPECT_EQ(lines[0].operation, r.operation);
    EXPECT_EQ(HexBytes(lines[0].sent), std::vector<uint8_t>(sent.begin(), sent.begin() + long(sentCount)))
        << r.operation << ": " << lines[0].sent;
    const std::string meaning = sentCount >= 3 ? "  CORF (19)" : "  значение параметра";
    EXPECT_NE(lines[0].sent.find(meaning), std::string::npos) << lines[0].sent;
    EXPECT_EQ(HexBytes(lines[0].received.substr(lines[0].received.find(' ') + 1)), answers)
        << r.operation << ": " << lines[0].received;
    if (r.answered) {
      EXPECT_NE(lines[0].received.find("нет ответа ("), std::string::npos) << lines[0].received;
      Restart(); // after a lost link, a fresh window and station
      WatchOperations(*form);
    } else {
      EXPECT_TRUE(lines[0].received.ends_with(" мс")) << lines[0].received;
    }
  }
}

// A whole session: what the trace says went out is what the station received, byte for byte,
// and each connect starts with its header.
TEST_F(TraceTest, TheLinesOfASessionAreTheBytesTheStationReceived) {
  std::string error;
  ASSERT_TRUE(StartTrace(path, "test", error)) << error;
  form->BitBtn10->click();
  form->BitBtn9->click();
  ASSERT_TRUE(Connected());
  form->BitBtn2->click(); // "Чтение": 70, then 170, 20, 97
  form->BitBtn3->click(); // "Канал +"
  form->BitBtn1->click(); // "Запись"
  StopTrace();

  std::vector<uint8_t> traced;
  std::vector<std::string> operations;
  for (const TLine &line : ExchangeLines(path)) {
    const auto bytes = SentBytes(line.sent);
    traced.insert(traced.end(), bytes.begin(), bytes.end());
    operations.push_back(line.operation);
  }
  EXPECT_EQ(traced, station.Received());
  EXPECT_EQ(operations, (std::vector<std::string>{"Отключиться", "Подключиться", "Чтение", "Чтение", "Канал +",
                                                  "Запись"}));
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral(" | kstune test | COM2 ") + QString::fromStdString(station.LinkPath().string()) +
                            QStringLiteral(" → ") + QString::fromStdString(station.SlavePath()) +
                            QStringLiteral(" | 1200 8N1\n")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(" | Чтение | 46  Чтение | ← UNCH_ON140_146="))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(" | Чтение | AA 14 61 → индекс модели "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(" | Запись | 3C  Запись: UNCH_ON140_146="))) << text.toStdString();
}

// A port that does not open is in the trace with its reason.
TEST_F(TraceTest, AFailedOpenIsRecorded) {
  std::string error;
  ASSERT_TRUE(StartTrace(path, "test", error)) << error;
  form->BitBtn10->click();
  station.Stop();
  dir.LinkCom(2, dir.KstuneDir() / "no-such-adapter");
  Click("BitBtn9Click");
  StopTrace();
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral(" | kstune test | COM2 ") +
                            QString::fromStdString((dir.KstuneDir() / "com2").string()) + QStringLiteral(" → ") +
                            QString::fromStdString((dir.KstuneDir() / "no-such-adapter").string()) +
                            QStringLiteral(" | не открыт: ie_BadId - Specified comport doesn't exist\n")))
      << text.toStdString();
}

TEST(TraceStart, AFileThatCannotBeWrittenLeavesTheTraceOffWithAReason) {
  for (const char *path : {"/nonexistent-dir/trace.txt", "/dev/full"}) {
    std::string error;
    EXPECT_FALSE(StartTrace(path, "test", error)) << path;
    EXPECT_FALSE(error.empty()) << path;
    EXPECT_FALSE(TraceOn()) << path;
  }
}

TEST(TraceCommandLine, OnlyTraceWithOneFileIsTaken) {
  struct Row {
    std::vector<const char *> args;
    int status;
    const char *file;
  };
  const Row rows[] = {
      {{"kstune"}, -1, ""},
      {{"kstune", "--trace", "t.txt"}, -1, "t.txt"},
      {{"kstune", "--trace=t.txt"}, -1, "t.txt"},
      {{"kstune", "--trace"}, 2, ""},
      {{"kstune", "--trace", "a", "--trace", "b"}, 2, ""},
      {{"kstune", "--baud", "9600"}, 2, ""},
      {{"kstune", "--trace="}, 2, ""},
      {{"kstune", "--trace", "журнал обмена.txt"}, -1, "журнал обмена.txt"},
      {{"kstune", "--trace", "--help"}, -1, "--help"}, // a value is taken as it stands
      {{"kstune", "trace.txt"}, 2, ""},
  };
  for (const auto &r : rows) {
    std::vector<char *> argv;
    for (const char *a : r.args)
      argv.push_back(const_cast<char *>(a));
    std::string file;
    const int status = HandleCommandLine(int(argv.size()), argv.data(), file);
    EXPECT_EQ(status, r.status) << r.args.size();
    if (status < 0) {
      EXPECT_EQ(file, r.file);
    }
  }
}
