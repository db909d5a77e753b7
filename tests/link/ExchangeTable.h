#pragma once
// Every exchange of the tool with the station, started as the technician starts it, with the
// bytes the station receives and what a station that falls silent leaves behind. The fault tests
// run each row against each way a real line fails.
#include "link/Exchange.h"
#include "main/MessageWindow.h"
#include "tests/records/RecordsFixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTest>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class ExchangeFixture;

// What the technician is told when the station stops answering.
enum class TLossReport {
  Box, // the link-lost message box, once
  NoLinkLine, // "Нет соединения со станцией..." alone, "Подключиться" enabled again
  NoStationLine, // "Нет соединения с радиостанцией..." alone
  NoReadCaption, // "Чтение" reads "Нет чтения"
  Surplus, // more bytes than the block: the one line about the adapter's echo, no box
};

// Written here, not taken from the code: the technician's line about surplus bytes.
inline const QString SurplusLine =
    QStringLiteral("Пришло больше байтов, чем передаёт станция: проверьте, не возвращает ли адаптер посланное (эхо)");

// The line under "Связь установлена" behind an adapter that gives back what it sends.
inline const QString EchoDroppedLine =
    QStringLiteral("Адаптер возвращает посланные байты (эхо): kstune отбрасывает это эхо");

struct TExchangeRow {
  const char *Name;
  std::function<void(ExchangeFixture &)> Prepare; // connected, with known values around
  std::function<void(ExchangeFixture &)> Start;   // the click or key
  std::vector<uint8_t> Bytes;                     // what the station receives, all answered
  // The report after the station served k bytes and then fell silent, k = 0 .. size - 1.
  std::vector<TLossReport> Loss;
  // What else must remain after a stop at k: enabled states, captions, values, files.
  std::function<void(ExchangeFixture &, std::size_t k)> Remains;
  bool ReconnectAfterLoss; // the next use needs "Отключиться", "Подключиться" first
  int Budget;              // ms from the first command byte to the end of its first wait
  std::size_t Block;       // length of the block reply after the first byte, 0: none
  // What a completed exchange shows; zero: the station answered every byte with 0.
  std::function<void(ExchangeFixture &, bool zero)> Done;
  std::vector<uint8_t> Again = {}; // the bytes when started a second time; empty: the same
  const std::vector<uint8_t> &SecondBytes() const { return Again.empty() ? Bytes : Again; }
};

class ExchangeFixture : public RecordsTest {
public:
  using LinkTest::boxes;
  using LinkTest::Connected;
  using LinkTest::dir;
  using LinkTest::form;
  using LinkTest::station;
  using RecordsTest::ShownValues;
  using RecordsTest::Stored;
  using Clock = std::chrono::steady_clock;

  // Known state around every exchange: station data that the tool reads, the window's values,
  // a previous snapshot and options file that a failed exchange must leave alone.
  void PrepareFiles() {
    dir.WriteFile("Q417Options.ini", OldOptions);
    dir.WriteFile("Opros.txt", OldSnapshot);
  }
  void SetStationData() {
    station.SetParamValues(Pattern(11));
    station.SetModelIndex(3);
    station.SetSerialNumber({0x12, 0x0A, 0xFF});
    station.SetProcessorDate({5, 11, 20, 7});
  }
  void PrepareConnected() {
    PrepareFiles();
    SetStationData();
    // Shown and active, so that focus and keys travel as they do for the technician.
    form->show();
    QApplication::setActiveWindow(form.get());
    Connect();
    TypeAll(Pattern(40));
    form->Edit8->setText(QStringLiteral("старый"));
  }
  // Reconnects as the technician does after a lost link, and forgets what was received so far.
  void Reconnect() {
    if (form->BitBtn10->isEnabled())
      Click("BitBtn10Click");
    Click("BitBtn9Click");
    ASSERT_TRUE(Connected()) << MessageLines(*form).join('|').toStdString()
                             << (boxes.Errors.empty() ? "" : " / " + boxes.Errors.front());
    station.ClearReceived();
    boxes.Messages.clear();
  }
  // Behind an echoing adapter. The echo is told by when it comes back (one byte time after the
  // send, before a station can answer), and a loaded test machine can hold it back past that:
  // the tool then takes it for the station's answer, as it would behind an adapter that holds
  // its echo back. Connects again, a few times at most, until it is recognised.
  void RecogniseEcho() {
    for (int i = 0; i < 5 && !form->MainState.AdapterEchoes; ++i)
      Reconnect();
    ASSERT_TRUE(form->MainState.AdapterEchoes) << "recognised at connect";
  }
  // Back to where the row starts again: not connected for the connect row, else connected (anew
  // when reconnect is asked for).
  void ReadyToStartAgain(const TExchangeRow &row, bool reconnect) {
    if (row.Bytes[0] == 250) {
      if (Connected())
        Click("BitBtn10Click");
    } else if (reconnect || !Connected()) {
      Reconnect();
    }
    station.ClearReceived();
    boxes.Messages.clear();
  }
  void Press(const char *slot) { Click(slot); }
  // The DAC poll as the telemetry timer runs it when a refresh is due.
  void DuePoll() {
    const QSignalBlocker quiet(form->CheckBox1); // ticking the box would poll at once
    form->CheckBox1->setChecked(true);
    form->MainState.PollMode = 3;
    Click("Timer1Timer");
  }
  // A key-down goes to whatever has the focus, as the keyboard's do.
  void Key(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier), release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &press);
    QApplication::sendEvent(QApplication::focusWidget(), &release);
  }
  // Chooses a parameter the way the technician does: entering its field or selecting its cell.
  void ChooseField(QWidget *field) { field->setFocus(Qt::MouseFocusReason); }
  void ChooseCell(int column, int row) {
    form->StringGrid1->setFocus(Qt::MouseFocusReason);
    form->StringGrid1->setCurrentCell(row, column);
  }
  void ExpectOneLinkLostBox() {
    EXPECT_EQ(boxes.Messages, std::vector<std::string>{LinkLostMessage});
    EXPECT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  }
  void ExpectNoBox() {
    EXPECT_TRUE(boxes.Messages.empty()) << boxes.Messages.front();
    EXPECT_TRUE(boxes.Errors.empty()) << boxes.Errors.front();
  }
  void ExpectUntouchedFiles() {
    EXPECT_EQ(dir.ReadFile("Opros.txt"), OldSnapshot);
    EXPECT_EQ(dir.ReadFile("Q417Options.ini"), OldOptions);
  }
  void ExpectReport(TLossReport report) {
    switch (report) {
    case TLossReport::Box:
      ExpectOneLinkLostBox();
      break;
    case TLossReport::NoLinkLine:
      ExpectNoBox();
      EXPECT_EQ(MessageLines(*form), QStringList{"Нет соединения со станцией..."});
      EXPECT_TRUE(form->BitBtn9->isEnabled());
      EXPECT_FALSE(form->BitBtn10->isEnabled());
      break;
    case TLossReport::NoStationLine:
      ExpectNoBox();
      EXPECT_EQ(MessageLines(*form), QStringList{"Нет соединения с радиостанцией..."});
      break;
    case TLossReport::NoReadCaption:
      ExpectNoBox();
      EXPECT_EQ(form->BitBtn2->text(), "Нет чтения");
      break;
    case TLossReport::Surplus:
      ExpectNoBox();
      EXPECT_EQ(MessageLines(*form), QStringList{SurplusLine});
      break;
    }
  }
  // The station drops a half-heard exchange after a quiet second; only then is it understood again.
  // Waited for as the station tells it, not as a second in full on top of the time the tool
  // already spent waiting out its own budget.
  void LetStationForget() {
    const auto until = Clock::now() + 3 * TSimStation::ExchangeTimeout;
    while (station.MidExchange() && Clock::now() < until)
      QTest::qWait(10);
    EXPECT_FALSE(station.MidExchange()) << "the station drops a half-heard exchange after its quiet second";
    station.ClearReceived();
  }
  bool Prefix(std::size_t n, const std::vector<uint8_t> &bytes) {
    const auto got = station.Received();
    return got == std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
  }

  static inline const std::string OldSnapshot = "1\r\n2\r\n";
  static inline const std::string OldOptions = "[All]\r\nPort=2\r\nPoz=KS45\r\n[KS43]\r\nCORF=143\r\n";
  static inline const QStringList ConnectedLines = {"Связь установлена", "Не забудьте выбрать Параметр",
                                                    "Диапазон всех вводимых значений: 0...255"};
};

// A one-byte exchange (a braced single byte trips a false bounds warning of GCC 12).
inline std::vector<uint8_t> One(uint8_t byte) { return std::vector<uint8_t>(1, byte); }
// 60 and the 34 values.
inline std::vector<uint8_t> WriteAllBytes(const Values &values) {
  std::vector<uint8_t> bytes(1 + values.size(), 60);
  std::copy(values.begin(), values.end(), bytes.begin() + 1);
  return bytes;
}
// The window's values after "Переписать ряд" with 9 in the first grid column.
inline Values ColumnOfNine() {
  Values v = Pattern(40);
  std::fill_n(v.begin(), 6, 9);
  return v;
}
inline std::vector<TLossReport> Boxes(std::size_t n) { return std::vector<TLossReport>(n, TLossReport::Box); }

inline std::vector<TExchangeRow> ExchangeRows() {
  using F = ExchangeFixture;
  using L = TLossReport;
  const auto connected = [](F &f) { f.PrepareConnected(); };
  // Enter once, so that the table holds what the window shows before the exchange.
  const auto chosenCorf = [](F &f) {
    f.PrepareConnected();
    f.ChooseField(f.form->Edit1);
    f.Key(Qt::Key_Return);
  };
  // A step stays in the window whatever the station answered; a missing fourth answer still arms
  // the refresh, an earlier one does not.
  const auto stepRemains = [](F &f, std::size_t k) {
    EXPECT_EQ(f.form->Edit1->text().toInt(), f.form->MainState.ParamValues[19]);
    EXPECT_NE(f.form->Edit1->text(), "166");
    EXPECT_EQ(f.form->Timer1->Enabled(), k == 3);
  };
  const auto stepDone = [](F &f, bool zero) {
    EXPECT_EQ(f.form->MainState.PollMode, 2);
    EXPECT_TRUE(f.form->Timer1->Enabled());
    if (!zero) {
      EXPECT_EQ(f.station.Value(67), f.form->Edit1->text().toInt());
    }
  };
  return {
      {"Connect",
       [](F &f) {
         f.PrepareFiles();
         f.SetStationData();
       },
       [](F &f) { f.Press("BitBtn9Click"); },
       One(250),
       {L::NoLinkLine},
       [](F &f, std::size_t) {
         EXPECT_FALSE(f.form->BitBtn1->isEnabled());
         EXPECT_FALSE(f.form->GroupBox1->isEnabled());
       },
       false,
       350,
       0, // the handshake is no block the station cuts
       [](F &f, bool) {
         EXPECT_TRUE(f.Connected());
         EXPECT_EQ(MessageLines(*f.form), F::ConnectedLines);
       }},
      {"Write", connected, [](F &f) { f.Press("BitBtn1Click"); }, WriteAllBytes(Pattern(40)), Boxes(35),
       [](F &f, std::size_t) { EXPECT_FALSE(f.form->BitBtn1->isEnabled()); }, true, 250, 0,
       [](F &f, bool zero) {
         EXPECT_TRUE(f.form->BitBtn1->isEnabled());
         std::string snapshot;
         for (const uint8_t v : Pattern(40))
           snapshot += std::to_string(v) + "\r\n";
         EXPECT_EQ(f.dir.ReadFile("Opros.txt"), snapshot);
         if (!zero) {
           EXPECT_EQ(f.station.ParamValues(), Pattern(40));
         }
       }},
      {"Read",
       connected,
       [](F &f) { f.Press("BitBtn2Click"); },
       {70, 170, 20, 97},
       {L::NoReadCaption, L::Box, L::Box, L::Box},
       [](F &f, std::size_t k) {
         EXPECT_FALSE(f.form->BitBtn2->isEnabled());
         EXPECT_EQ(f.ShownValues(), Pattern(40)) << "the fields are not refreshed";
         EXPECT_EQ(f.form->ComboBox1->currentIndex(), -1);
         if (k > 0) {
           EXPECT_EQ(f.form->BitBtn2->text(), "Чтение");
           EXPECT_EQ(f.Stored(), Pattern(11)) << "the block had arrived whole";
         }
       },
       true,
       200,
       34,
       [](F &f, bool zero) {
         EXPECT_TRUE(f.form->BitBtn2->isEnabled());
         EXPECT_EQ(f.form->BitBtn2->text(), "Чтение");
         EXPECT_EQ(f.ShownValues(), zero ? Values{} : Pattern(11));
         EXPECT_EQ(f.form->ComboBox1->currentIndex(), zero ? 0 : 3);
       }},
      {"Ok",
       [](F &f) {
         f.PrepareConnected();
         f.form->ComboBox1->setCurrentIndex(2);
       },
       [](F &f) { f.Press("BitBtn22Click"); },
       {65, 0, 97, 2},
       Boxes(4),
       [](F &f, std::size_t) { EXPECT_EQ(f.form->Edit1->text(), "166") << "no preset applied"; },
       false,
       250,
       0,
       [](F &f, bool) {
         EXPECT_NE(f.dir.ReadFile("Q417Options.ini").find("Poz=KS43"), std::string::npos);
         EXPECT_EQ(f.form->Edit1->text(), "143");
         EXPECT_TRUE(f.form->windowTitle().endsWith("KS43"));
       }},
      {"SerialNumber",
       connected,
       [](F &f) { f.Press("BitBtn13Click"); },
       {80, 0, 1, 80, 0, 2, 80, 0, 3},
       Boxes(9),
       [](F &f, std::size_t) {
         EXPECT_EQ(f.form->Edit8->text(), "старый");
         EXPECT_FALSE(f.form->BitBtn13->isEnabled());
       },
       true,
       250,
       0,
       [](F &f, bool zero) {
         EXPECT_EQ(f.form->Edit8->text(), zero ? "000000" : "120AFF");
         EXPECT_TRUE(f.form->BitBtn13->isEnabled());
       }},
      {"ProcessorDate",
       connected,
       [](F &f) { f.Press("Button1Click"); },
       One(125),
       {L::NoStationLine},
       [](F &f, std::size_t) { EXPECT_EQ(f.form->Button1->text(), "Дата Процессора"); },
       false,
       200,
       4,
       [](F &f, bool zero) {
         EXPECT_EQ(f.form->Button1->text(), zero ? "Дата: 00.00.0000" : "Дата: 05.11.2007");
       }},
      {"DacPoll",
       connected,
       [](F &f) { f.DuePoll(); },
       One(140),
       {L::NoLinkLine},
       [](F &f, std::size_t) {
         EXPECT_TRUE(f.form->GroupBox1->isEnabled());
         EXPECT_TRUE(f.form->Panel3->isEnabled());
         EXPECT_FALSE(f.form->Timer1->Enabled());
       },
       true,
       300,
       8,
       [](F &f, bool zero) {
         const QStringList lines = MessageLines(*f.form);
         ASSERT_EQ(lines.size(), 3);
         const int p1 = zero ? 0 : f.station.DacValues()[0];
         EXPECT_TRUE(lines[0].startsWith(QStringLiteral("P1=%1=").arg(p1))) << lines[0].toStdString();
       }},
      {"ReflForv",
       connected,
       [](F &f) { f.Press("BitBtn5Click"); },
       {170, 50, 60, 170, 50, 70},
       Boxes(6),
       [](F &f, std::size_t) {
         // The connect's lines stay: nothing is shown.
         EXPECT_EQ(MessageLines(*f.form), f.form->MainState.AdapterEchoes
                                              ? F::ConnectedLines + QStringList{EchoDroppedLine}
                                              : F::ConnectedLines);
         EXPECT_EQ(f.form->MainState.PollMode, 3) << "no refresh armed";
         EXPECT_FALSE(f.form->Timer1->Enabled());
       },
       false,
       250,
       0,
       [](F &f, bool zero) {
         const int refl = zero ? 0 : f.station.Refl(), forw = zero ? 0 : f.station.Forw();
         EXPECT_EQ(MessageLines(*f.form),
                   QStringList{QStringLiteral("REFL= %1     FORW= %2").arg(refl).arg(forw)});
         EXPECT_EQ(f.form->MainState.PollMode, 2);
       }},
      // CORF is parameter 19 at address 67; the window shows 166 for it.
      {"StepUp",
       chosenCorf,
       [](F &f) { f.Press("BitBtn7Click"); },
       {55, 0, 67, 167},
       Boxes(4),
       stepRemains,
       false,
       250,
       0,
       stepDone,
       {55, 0, 67, 168}},
      {"StepDown",
       chosenCorf,
       [](F &f) { f.Press("BitBtn8Click"); },
       {55, 0, 67, 165},
       Boxes(4),
       stepRemains,
       false,
       250,
       0,
       stepDone,
       {55, 0, 67, 164}},
      {"Enter",
       chosenCorf,
       [](F &f) { f.Key(Qt::Key_Return); },
       {55, 0, 67, 166},
       Boxes(4),
       [](F &f, std::size_t) {
         EXPECT_EQ(f.form->MainState.ParamValues[19], 166);
         EXPECT_FALSE(f.form->Timer1->Enabled()) << "Enter schedules no refresh";
       },
       false,
       250,
       0,
       [](F &f, bool zero) {
         EXPECT_EQ(f.form->Edit1->text(), "166");
         EXPECT_FALSE(f.form->Timer1->Enabled());
         if (!zero) {
           EXPECT_EQ(f.station.Value(67), 166);
         }
       }},
      {"Overwrite",
       [](F &f) {
         f.PrepareConnected();
         f.ChooseField(f.form->Edit1);
         f.form->Edit7->setText("77");
       },
       [](F &f) { f.Press("BitBtn11Click"); },
       {55, 0, 67, 77},
       Boxes(4),
       [](F &f, std::size_t) {
         EXPECT_EQ(f.form->Edit1->text(), "77");
         EXPECT_FALSE(f.form->Timer1->Enabled()) << "no refresh after a missing answer";
       },
       false,
       250,
       0,
       [](F &f, bool zero) {
         EXPECT_EQ(f.form->MainState.PollMode, 2);
         EXPECT_TRUE(f.form->Timer1->Enabled());
         if (!zero) {
           EXPECT_EQ(f.station.Value(67), 77);
         }
       }},
      {"OverwriteColumn",
       [](F &f) {
         f.PrepareConnected();
         f.ChooseCell(1, 1);
         f.form->Edit7->setText("9");
       },
       [](F &f) { f.Press("BitBtn15Click"); }, WriteAllBytes(ColumnOfNine()), Boxes(35),
       [](F &f, std::size_t) {
         EXPECT_FALSE(f.form->BitBtn15->isEnabled());
         EXPECT_EQ(f.ShownValues(), ColumnOfNine());
       },
       true, 250, 0,
       [](F &f, bool zero) {
         EXPECT_TRUE(f.form->BitBtn15->isEnabled());
         EXPECT_TRUE(f.form->Timer1->Enabled());
         if (!zero) {
           EXPECT_EQ(f.station.ParamValues(), ColumnOfNine());
         }
       }},
  };
}

inline const std::vector<TExchangeRow> &Rows() {
  static const std::vector<TExchangeRow> rows = ExchangeRows();
  return rows;
}

struct TCase {
  std::size_t Row;
  std::size_t K; // silent after k bytes; block cut to k bytes; hung up after k bytes
};

inline std::vector<TCase> EveryByte() {
  std::vector<TCase> cases;
  for (std::size_t r = 0; r < Rows().size(); ++r)
    for (std::size_t k = 0; k < Rows()[r].Bytes.size(); ++k)
      cases.push_back({r, k});
  return cases;
}
inline std::vector<TCase> EveryBlockLength() {
  std::vector<TCase> cases;
  for (std::size_t r = 0; r < Rows().size(); ++r)
    for (std::size_t k = 0; k < Rows()[r].Block; ++k)
      cases.push_back({r, k});
  return cases;
}
// Every byte of the short exchanges, the ends of the long ones (each case costs a second).
inline std::vector<TCase> ShortRowsEveryByte() {
  std::vector<TCase> cases;
  for (std::size_t r = 0; r < Rows().size(); ++r) {
    const std::size_t n = Rows()[r].Bytes.size();
    for (std::size_t k = 0; k < n; ++k)
      if (n <= 6 || k == 0 || k + 1 == n)
        cases.push_back({r, k});
  }
  return cases;
}
// Every row but the connect, which opens the port anew.
inline std::vector<TCase> ConnectedRows() {
  std::vector<TCase> cases;
  for (std::size_t r = 0; r < Rows().size(); ++r)
    if (Rows()[r].Bytes[0] != 250)
      cases.push_back({r, 0});
  return cases;
}
inline std::string CaseName(const ::testing::TestParamInfo<TCase> &info) {
  return std::string(Rows()[info.param.Row].Name) + "_" + std::to_string(info.param.K);
}

class FaultAtByte : public ExchangeFixture, public ::testing::WithParamInterface<TCase> {
protected:
  const TExchangeRow &Row() const { return Rows()[GetParam().Row]; }

  // After the station answers again, the exchange runs whole (reconnecting first where needed).
  void ExpectNextUseWorks(bool reconnect) {
    station.ClearFaults();
    LetStationForget();
    ReadyToStartAgain(Row(), reconnect);
    Row().Start(*this);
    ExpectNoBox();
    EXPECT_EQ(station.Received(), Row().SecondBytes());
    Row().Done(*this, false);
  }
  void ExpectLoss(std::size_t k) {
    ExpectReport(Row().Loss[k]);
    Row().Remains(*this, k);
    ExpectUntouchedFiles();
  }
};
