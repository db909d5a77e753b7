// What the viewer says about journals it cannot show, and its command line.
#include "tests/viewer/TestJournal.h"
#include "viewer/Export.h"
#include "viewer/JournalWindow.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>

#include <functional>

#include <gtest/gtest.h>

using namespace viewer;

namespace {

struct BadCase {
  const char *name;
  // Makes the bad journal in the folder and gives the source to open.
  std::function<JournalSource(const QString &dir)> make;
  bool opens;
  QString message; // a part of what the technician reads
};

JournalSource File(const QString &path) {
  JournalSource source;
  source.path = path;
  return source;
}

JournalSource Server(const QString &uri) {
  JournalSource source;
  source.server = true;
  source.uri = uri;
  return source;
}

void WriteBytes(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

JournalSource SqliteWith(const QString &dir, const QString &create) {
  const QString path = dir + "/other.sqlite";
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "maker");
    db.setDatabaseName(path);
    EXPECT_TRUE(db.open());
    QSqlQuery(db).exec(create);
  }
  QSqlDatabase::removeDatabase("maker");
  return File(path);
}

class BadJournalTest : public testing::TestWithParam<BadCase> {
protected:
  BadJournalTest() { ViewerTestApp(); }
  QTemporaryDir dir;
};

TEST_P(BadJournalTest, SaysWhatIsWrongAndShowsNothingFalse) {
  const JournalSource source = GetParam().make(dir.path());
  JournalWindow window;
  EXPECT_EQ(window.OpenJournal(source), GetParam().opens);
  EXPECT_TRUE(window.Message().contains(GetParam().message))
      << "got: " << window.Message().toStdString() << "\nwanted: " << GetParam().message.toStdString();
  for (const QString &shown : {window.Message(), window.windowTitle(), window.statusBar()->currentMessage()})
    EXPECT_FALSE(shown.contains("s3cret")) << shown.toStdString();
  if (!GetParam().opens) {
    EXPECT_EQ(window.findChild<QTableView *>("Stations")->model()->rowCount(), 0);
  }
  // Whatever the technician presses next is answered, not crashed on.
  window.ShowLeftWith();
  window.CopySeries();
  window.PollJournal();
  EXPECT_FALSE(window.SavePdf(dir.path() + "/page.pdf"));
}

INSTANTIATE_TEST_SUITE_P(
    Bad, BadJournalTest,
    testing::Values(
        BadCase{"MissingFile", [](const QString &d) { return File(d + "/journal.sqlite"); }, false, "не найден"},
        BadCase{"Folder", [](const QString &d) { return File(d); }, false, "нельзя прочитать"},
        BadCase{"CorruptFile",
                [](const QString &d) {
                  WriteBytes(d + "/journal.sqlite", QByteArray("SQLite format 3\0", 16) + QByteArray(4000, '\x5a'));
                  return File(d + "/journal.sqlite");
                },
                false, "поврежден"},
        BadCase{"TextFile",
                [](const QString &d) {
                  WriteBytes(d + "/journal.sqlite", "[All]\r\nPoz=KS43\r\n");
                  return File(d + "/journal.sqlite");
                },
                false, "поврежден"},
        BadCase{"AnotherProgramsDatabase",
                [](const QString &d) { return SqliteWith(d, "CREATE TABLE customers (id INTEGER, name TEXT)"); }, false,
                "нет таблицы journal"},
        BadCase{"AnotherProgramsJournalTable",
                [](const QString &d) { return SqliteWith(d, "CREATE TABLE journal (id INTEGER, at TEXT, entry TEXT)"); },
                false, "нет столбцов seq, session"},
        BadCase{"ServerRefuses",
                [](const QString &d) { return Server("postgresql:///kstune?host=" + d + "&port=1"); }, false,
                "отказал в подключении"},
        BadCase{"ServerAddressNotUnderstood", [](const QString &) { return Server("postgresql://"); }, false,
                "не понят"},
        // A password in the address is never repeated, however it was written.
        BadCase{"PasswordInUserPart",
                [](const QString &d) { return Server("postgresql://bench:s3cret@/kstune?host=" + d + "&port=1"); },
                false, "postgresql://bench@/kstune?host="},
        BadCase{"PasswordAsParameter",
                [](const QString &d) {
                  return Server("postgresql://bench@/kstune?password=s3cret&host=" + d + "&port=1");
                },
                false, "postgresql://bench@/kstune?host="},
        BadCase{"PasswordInAnAddressNotUnderstood",
                [](const QString &) { return Server("postgresql://bench:s3cret@db:99999/kstune"); }, false, "не понят"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NewerJournal, UnknownColumnsAreNamedAndTheRestShown) {
  ViewerTestApp();
  TestJournal journal("firmware TEXT, temperature REAL");
  journal.Append({Row{"2026-12-05T10:00:00.000Z", 1, "S", "bench-1", "ivanov", "KS43", "", "connect"},
                  Row{"2026-12-05T10:00:01.000Z", 2, "S", "bench-1", "ivanov", "KS43", "00A3F1", "serial"}});
  JournalWindow window;
  JournalSource source;
  source.path = journal.Path();
  ASSERT_TRUE(window.OpenJournal(source));
  EXPECT_TRUE(window.Message().contains("более новой версией kstune")) << window.Message().toStdString();
  EXPECT_TRUE(window.Message().contains("firmware, temperature")) << window.Message().toStdString();
  auto *model = window.findChild<QTableView *>("Stations")->model();
  ASSERT_EQ(model->rowCount(), 1);
  EXPECT_EQ(model->index(0, 0).data().toString(), "00A3F1");
  window.ShowStationRow(0);
  EXPECT_EQ(window.History().size(), 2u);
}

TEST(ForeignJournal, IsReadAndNeverWritten) {
  ViewerTestApp();
  TestJournal journal;
  journal.Append({Row{"2026-12-05T10:00:00.000Z", 1, "S", "bench-1", "ivanov", "KS43", "", "connect"}});
  QFile file(journal.Path());
  const QDateTime before = QFileInfo(file).lastModified();
  {
    JournalWindow window;
    JournalSource source;
    source.path = journal.Path();
    ASSERT_TRUE(window.OpenJournal(source));
  }
  // Not the bench's own journal: no index added to it.
  QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "look");
  db.setDatabaseName(journal.Path());
  ASSERT_TRUE(db.open());
  QSqlQuery q(db);
  ASSERT_TRUE(q.exec("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'journal_%'"));
  ASSERT_TRUE(q.next());
  EXPECT_EQ(q.value(0).toInt(), 0);
  q.finish();
  db.close();
  db = QSqlDatabase();
  QSqlDatabase::removeDatabase("look");
  EXPECT_EQ(QFileInfo(file).lastModified(), before);
}

TEST(DamagedRecords, AreShownAsTheyAreWithoutValues) {
  ViewerTestApp();
  TestJournal journal;
  Row read{"2026-12-05T10:00:02.000Z", 3, "S", "bench-1", "ivanov", "KS43", "00A3F1", "read_all"};
  read.series = QStringLiteral("300") + QString(99, '0');
  Row dac{"bad time", 4, "S", "bench-1", "ivanov", "KS43", "00A3F1", "dac"};
  dac.detail = "not hex";
  journal.Append({Row{"2026-12-05T10:00:01.000Z", 2, "S", "bench-1", "ivanov", "KS43", "00A3F1", "serial"}, read, dac});
  JournalWindow window;
  JournalSource source;
  source.path = journal.Path();
  ASSERT_TRUE(window.OpenJournal(source));
  window.ShowStationRow(0);
  ASSERT_EQ(window.History().size(), 3u);
  window.ChooseRecords({1});
  window.CopySeries();
  EXPECT_TRUE(window.Message().contains("поврежден")) << window.Message().toStdString();
  window.ShowLeftWith();
  EXPECT_TRUE(window.Message().contains("нет завершенной записи")) << window.Message().toStdString();
  EXPECT_TRUE(window.Telemetry().dac[0].isEmpty());
}

TEST(CsvOfHostileText, FormulasStayText) {
  ViewerTestApp();
  TJournalRow r;
  r.Id = "1";
  r.Session = "S";
  r.Operation = "front_panel";
  const std::vector<std::pair<QString, QByteArray>> cells{
      {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
      {"+7", "'+7"},
      {"-1", "'-1"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"Канал +", "Канал +"},
      {"a,b", "\"a,b\""}};
  for (const auto &[detail, cell] : cells) {
    r.Detail = detail;
    const QByteArray line = CsvOf({r}).split('\n').at(1).trimmed();
    // The detail is the last cell, after the outcome.
    EXPECT_TRUE(line.endsWith(",ok," + cell)) << line.toStdString();
  }
}

// Both programs answer their command line by one convention: the same usage line, version line,
// exit statuses and one-line refusals.
struct CommandCase {
  const char *name;
  const char *program; // "kstune-journal" or "kstune"
  QStringList arguments;
  int status;
  QString firstLine;
};

class CommandLineTest : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandLineTest, AnswersWithoutADisplay) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  process.setProcessEnvironment(env);
  const QString program = QString::fromLatin1(GetParam().program);
  process.start(program == "kstune" ? KSTUNE_EXECUTABLE : KSTUNE_JOURNAL_EXECUTABLE, GetParam().arguments);
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), GetParam().status);
  EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()).section('\n', 0, 0), GetParam().firstLine);
  // A failure is said in one line (and a hint for a wrong option), never Qt's paragraph.
  const QStringList said = QString::fromUtf8(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
  if (GetParam().status != 0) {
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said.first().startsWith(program + ": ")) << said.join('\n').toStdString();
    EXPECT_LE(said.size(), GetParam().status == 2 ? 2 : 1) << said.join('\n').toStdString();
  }
}

TEST(ExportCommand, WritesTheVisitsWithoutADisplay) {
  ViewerTestApp();
  TestJournal journal;
  // The station stores model index 3 ("KS - 45", code KS45) though the bench is set to KS43.
  Row read{"2026-12-05T10:00:02.000Z", 3, "S", "bench-1", "ivanov", "KS43", "000123", "read_all"};
  read.series = SeriesWith(100, {{18, 83}});
  read.detail = "3";
  Row set{"2026-12-05T10:00:03.000Z", 4, "S", "bench-1", "ivanov", "KS43", "000123", "set_value", 18, 90};
  journal.Append({Row{"2026-12-05T10:00:00.000Z", 1, "S", "bench-1", "ivanov", "KS43", "", "connect"},
                  Row{"2026-12-05T10:00:01.000Z", 2, "S", "bench-1", "ivanov", "KS43", "000123", "serial"}, read, set,
                  Row{"2026-12-05T10:00:04.000Z", 5, "S", "bench-1", "ivanov", "KS43", "000123", "disconnect"},
                  Row{"2026-12-06T10:00:00.000Z", 1, "T", "bench-2", "petrov", "KS41", "", "connect"},
                  Row{"2026-12-06T10:00:01.000Z", 2, "T", "bench-2", "petrov", "KS41", "0B1000", "serial"}});
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  const QString csv = journal.Dir() + "/visits.csv";
  // The value set after the read is on exit: 18 = 090.
  const QByteArray first = "\"=\"\"000123\"\"\",KS45,bench-1,ivanov,2026-12-05 10:00:00,2026-12-05 10:00:04,завершен,1,"
                           "\"=\"\"" + SeriesWith(100, {{18, 90}}).toUtf8() + "\"\"\",";
  // Never read: the bench's model, said to be the bench's.
  const QByteArray unread = "KS41 (стенд),bench-2,petrov,";
  const struct {
    QStringList filter;
    std::vector<QByteArray> rows; // each row's start, in the export's order
  } cases[] = {
      {{"--serial", "0012", "--from", "2026-12-05", "--to", "2026-12-05"}, {first}},
      {{}, {first, "\"=\"\"0B1000\"\"\"," + unread}},
  };
  for (const auto &c : cases) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(KSTUNE_JOURNAL_EXECUTABLE, QStringList{"--export", csv, "--database", journal.Path()} + c.filter);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(c.rows.size() + 2)) << "the header, the visits that pass, the end";
    for (size_t i = 0; i < c.rows.size(); ++i)
      EXPECT_TRUE(lines[static_cast<qsizetype>(i + 1)].trimmed().startsWith(c.rows[i]))
          << lines[static_cast<qsizetype>(i + 1)].toStdString() << "\n expected to start with " << c.rows[i].toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineTest,
    testing::Values(CommandCase{"Help", "kstune-journal", {"--help"}, 0, "Usage: kstune-journal [options]"},
                    CommandCase{"Version", "kstune-journal", {"--version"}, 0, "kstune-journal " KSTUNE_VERSION_TEXT},
                    CommandCase{"Unknown", "kstune-journal", {"--frequency", "5"}, 2, ""},
                    CommandCase{"DatabaseWithoutUri", "kstune-journal", {"--database"}, 2, ""},
                    CommandCase{"DatabaseTwice", "kstune-journal", {"--database", "a", "--database", "b"}, 2, ""},
                    CommandCase{"NoDisplayIsOneLineAndStatus1", "kstune-journal", {"--database", "/nonexistent/j.sqlite"}, 1, ""},
                    CommandCase{"ExportNeitherXlsxNorCsv", "kstune-journal", {"--export", "/tmp/visits.ods"}, 2, ""},
                    CommandCase{"ExportDayNotADay", "kstune-journal", {"--export", "/tmp/v.xlsx", "--from", "2026-13-01"}, 2, ""},
                    CommandCase{"ExportDayWrittenOtherwise", "kstune-journal", {"--export", "/tmp/v.xlsx", "--to", "07.12.2026"}, 2, ""},
                    CommandCase{"ExportFromAfterTo", "kstune-journal", {"--export", "/tmp/v.csv", "--from", "2026-12-08", "--to", "2026-12-07"}, 2, ""},
                    CommandCase{"FromWithoutExport", "kstune-journal", {"--from", "2026-12-01"}, 2, ""},
                    CommandCase{"ExportOfAMissingJournal", "kstune-journal", {"--export", "/tmp/v.xlsx", "--database", "/nonexistent/j.sqlite"}, 1, ""},
                    CommandCase{"StrayArgument", "kstune-journal", {"journal.sqlite"}, 2, ""},
                    CommandCase{"KstuneHelp", "kstune", {"--help"}, 0, "Usage: kstune [options]"},
                    CommandCase{"KstuneShortHelp", "kstune", {"-h"}, 0, "Usage: kstune [options]"},
                    CommandCase{"KstuneVersion", "kstune", {"--version"}, 0, "kstune " KSTUNE_VERSION_TEXT},
                    CommandCase{"KstuneUnknown", "kstune", {"--frequency", "5"}, 2, ""},
                    CommandCase{"KstuneTraceWithoutFile", "kstune", {"--trace"}, 2, ""},
                    CommandCase{"KstuneTraceEmpty", "kstune", {"--trace="}, 2, ""},
                    CommandCase{"KstuneTraceTwice", "kstune", {"--trace", "a", "--trace", "b"}, 2, ""},
                    CommandCase{"KstuneStrayArgument", "kstune", {"trace.txt"}, 2, ""},
                    CommandCase{"KstuneNoDisplayIsOneLineAndStatus1", "kstune", {}, 1, ""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
