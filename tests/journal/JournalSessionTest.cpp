// A technician's session through the real window against the simulated station: every operation
// once, then a station that stops answering at a byte. The journal holds exactly one row per
// operation, in order, with what each sent or received.
#include "tests/journal/JournalSessionFixture.h"

#include <QLineEdit>
#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <sys/utsname.h>

namespace fs = std::filesystem;

namespace {

// One expected row: what §-free words say the journal holds for each operation.
struct Row {
  const char *operation;
  QString parameter;
  QString value;
  QString series;
  const char *outcome;
  QString serial;
  QString model;
  QString detail;
};

QString Groups(std::initializer_list<std::pair<int, int>> runs) {
  QString series;
  for (const auto &[count, value] : runs)
    for (int i = 0; i < count; ++i)
      series += QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
  return series;
}

using JournalSessionTest = JournalSessionFixture;

void ExpectRows(const std::vector<QStringList> &rows, size_t from, const std::vector<Row> &expected) {
  ASSERT_GE(rows.size(), from + expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const QStringList &got = rows[from + i];
    const Row &want = expected[i];
    SCOPED_TRACE("row " + std::to_string(from + i + 1) + ": " + want.operation);
    EXPECT_EQ(got[0], want.operation);
    EXPECT_EQ(got[1], want.parameter);
    EXPECT_EQ(got[2], want.value);
    EXPECT_EQ(got[3], want.series);
    EXPECT_EQ(got[4], want.outcome);
    EXPECT_EQ(got[5], want.serial);
    EXPECT_EQ(got[6], want.model);
    EXPECT_EQ(got[7], want.detail);
  }
}

TEST_F(JournalSessionTest, EveryOperationOnceThenAStationThatStopsAnswering) {
  station.SetSerialNumber({0x12, 0x0A, 0xFF});
  station.SetProcessorDate({5, 11, 20, 7});
  station.SetModelIndex(3);
  report = QString::fromStdString((dir.Root() / "r.xls").string());
  std::ofstream(report.toStdString()) << "";

  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  form->Edit19Enter(); // DEV, parameter 18, at 0
  Click("BitBtn7Click");
  form->Edit19->setText(QStringLiteral("42"));
  Key(Qt::Key_Return);
  form->Edit7->setText(QStringLiteral("300"));
  Click("BitBtn11Click");
  form->StringGrid1SelectCell(2, 3);
  form->Edit7->setText(QStringLiteral("7"));
  Click("BitBtn15Click");
  Click("BitBtn1Click");
  Click("BitBtn2Click");
  form->ComboBox1->setCurrentIndex(2);
  Click("BitBtn22Click");
  Click("BitBtn13Click");
  Click("Button1Click");
  form->CheckBox1->setChecked(true);
  const auto dac = station.DacValues();
  form->CheckBox1->setChecked(false);
  form->Timer1->SetEnabled(false);
  Click("BitBtn5Click");
  const QString reflForw = QStringLiteral("REFL=%1 FORW=%2").arg(station.Refl()).arg(station.Forw());
  Click("BitBtn3Click");
  Key(Qt::Key_M);
  Click("SpeedButton1Click");
  Click("BitBtn24Click");
  Click("BitBtn10Click");
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(boxes.Errors.empty());

  // Columns 7..12 hold 7 (the column overwrite), 18 holds 44 ("Переписать" of 300).
  const QString written = Groups({{6, 0}, {6, 7}, {5, 0}, {1, 44}, {16, 0}});
  QString dacHex;
  for (const uint8_t byte : dac)
    dacHex += (dacHex.isEmpty() ? QString() : QStringLiteral(" ")) +
              QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
  const QString none;
  const QString m0 = QStringLiteral("0"), ks43 = QStringLiteral("KS43"), serial = QStringLiteral("120AFF");
  const std::vector<Row> session = {
      {"connect", none, none, none, "ok", none, m0, none},
      {"set_value", "18", "1", none, "ok", none, m0, none},
      {"set_value", "18", "42", none, "ok", none, m0, none},
      {"set_value", "18", "44", none, "ok", none, m0, none},
      {"overwrite_column", none, none, written, "ok", none, m0, none},
      {"write_all", none, none, written, "ok", none, m0, none},
      {"read_all", none, none, written, "ok", none, m0, "3"},
      {"model", none, "2", none, "ok", none, ks43, none},
      {"serial", none, none, none, "ok", serial, ks43, serial},
      {"processor_date", none, none, none, "ok", serial, ks43, "Дата: 05.11.2007"},
      {"dac", none, none, none, "ok", serial, ks43, dacHex},
      {"refl_forw", none, none, none, "ok", serial, ks43, reflForw},
      {"front_panel", none, "90", none, "ok", serial, ks43, "Канал +"},
      {"front_panel", none, "180", none, "ok", serial, ks43, "M"},
      {"report", none, none, none, "ok", serial, ks43, report + ", строка 6"},
      {"disconnect", none, none, none, "ok", serial, ks43, none},
  };

  // A new connection; then the station stops answering at a byte of each operation in turn.
  LetTheStationResync();
  Click("BitBtn9Click");
  ASSERT_TRUE(Connected());
  struct Fault {
    const char *slot;
    std::optional<size_t> answeredBytes; // the station answers this many, then nothing
    std::optional<size_t> blockCut;      // block replies cut to this many bytes
  };
  const Fault faults[] = {
      {"BitBtn7Click", 2, {}},  // step of the chosen cell: 55 and 0 answered, not the address
      {"BitBtn1Click", 10, {}}, // "Запись": 60 and nine values answered
      {"BitBtn2Click", {}, 20}, // "Чтение": 20 of the 34 values
      {"BitBtn13Click", 4, {}}, // "Считать": 80, 0, 1 and 80 answered
      {"Button1Click", {}, 2},  // "Дата Процессора": two of its four bytes
  };
  for (const Fault &fault : faults) {
    LetTheStationResync();
    station.StopAnsweringAfter(fault.answeredBytes);
    station.CutBlocksTo(fault.blockCut);
    Click(fault.slot);
  }
  // The chosen cell (column 2, row 3: parameter 9) stepped from 7; the step showed the values
  // over the presets "Ok" had loaded, and "Запись" sent the window.
  const QString afterStep = Groups({{6, 0}, {2, 7}, {1, 8}, {3, 7}, {5, 0}, {1, 44}, {16, 0}});
  const std::vector<Row> lost = {
      {"connect", none, none, none, "ok", none, ks43, none},
      {"set_value", "9", "8", none, "link_lost", none, ks43, "нет ответа на байт 3"},
      {"write_all", none, none, afterStep, "link_lost", none, ks43, "нет ответа на байт 11"},
      {"read_all", none, none, none, "no_read", none, ks43, "получено значений: 20 из 34"},
      {"serial", none, none, none, "link_lost", none, ks43, "нет ответа на байт 5"},
      {"processor_date", none, none, none, "link_lost", none, ks43, "нет ответа на байт 3"},
      // Connecting again without "Отключиться" ends this session first, with nothing sent.
      {"disconnect", none, none, none, "ok", none, ks43, "новое подключение без отключения"},
  };
  // A connect the station does not answer is a session of its own.
  LetTheStationResync();
  station.StopAnsweringAfter(0);
  Click("BitBtn9Click");
  const std::vector<Row> unanswered = {{"connect", none, none, none, "link_lost", none, ks43, "нет ответа на байт 1"}};

  const auto rows = Rows();
  ASSERT_EQ(rows.size(), session.size() + lost.size() + unanswered.size());
  ExpectRows(rows, 0, session);
  ExpectRows(rows, session.size(), lost);
  ExpectRows(rows, session.size() + lost.size(), unanswered);

  // Each connection its own session, numbered from 1; every record its own id; UTC with ms.
  const size_t starts[] = {0, session.size(), session.size() + lost.size(), rows.size()};
  QStringList ids;
  for (size_t s = 0; s + 1 < std::size(starts); ++s)
    for (size_t i = starts[s]; i < starts[s + 1]; ++i) {
      EXPECT_EQ(rows[i][8], rows[starts[s]][8]) << "row " << i + 1;
      EXPECT_EQ(rows[i][9].toInt(), static_cast<int>(i - starts[s] + 1)) << "row " << i + 1;
      EXPECT_EQ(rows[i][10], QStringLiteral("COM2 ") + QString::fromStdString(fs::canonical(station.SlavePath()).string()));
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"))
                      .match(rows[i][11])
                      .hasMatch())
          << rows[i][11].toStdString();
      ids << rows[i][12];
    }
  EXPECT_NE(rows[0][8], rows[session.size()][8]);
  EXPECT_NE(rows[session.size()][8], rows.back()[8]);
  ids.removeDuplicates();
  EXPECT_EQ(ids.size(), static_cast<qsizetype>(rows.size()));
  // The bench of every record is this machine, as the kernel names it.
  utsname system{};
  ASSERT_EQ(uname(&system), 0);
  const auto benches = QueryJournal(file, QStringLiteral("SELECT DISTINCT bench FROM journal"));
  ASSERT_EQ(benches.size(), 1u);
  EXPECT_EQ(benches[0].join(QLatin1Char('|')).toStdString(), system.nodename);
}

} // namespace
