// The visits list as files a spreadsheet opens: the CSV and the .xlsx read back by the office
// itself (formulas evaluated, as a person opening them sees them) and the workbook's own cell types.
#include "tests/viewer/TestJournal.h"
#include "viewer/VisitsExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace viewer;

namespace {

const QString Series = SeriesWith(100, {{1, 0}, {18, 83}});

VisitRow Visit(QString serial, QString series, QString model = "KS43") {
  VisitRow v;
  v.session = "S-" + serial;
  v.serial = serial;
  v.model = model;
  v.bench = "bench-1";
  v.operatorName = "ivanov";
  v.start = QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0), Qt::UTC);
  v.end = QDateTime(QDate(2026, 12, 5), QTime(11, 59, 30), Qt::UTC);
  v.valuesSent = 7;
  v.series = series;
  return v;
}

// The rows a person sees: what the office shows in each cell of the first sheet, formulas
// evaluated, written out by the office as CSV.
std::vector<QStringList> AsTheOfficeShowsIt(const QString &file, const QString &work) {
  const QString office = QStandardPaths::findExecutable("soffice");
  if (office.isEmpty())
    return {};
  QProcess process;
  const QString out = work + "/shown";
  QDir().mkpath(out);
  QStringList arguments{"-env:UserInstallation=file://" + work + "/profile", "--headless", "--convert-to",
                        // comma, double quote, UTF-8, from line 1; formulas' results, not formulas.
                        "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false", "--outdir", out,
                        file};
  if (file.endsWith(".csv"))
    arguments.insert(1, "--infilter=CSV:44,34,76,1");
  process.start(office, arguments);
  if (!process.waitForFinished(240000))
    return {};
  QFile shown(out + "/" + QFileInfo(file).completeBaseName() + ".csv");
  if (!shown.open(QIODevice::ReadOnly))
    return {};
  std::vector<QStringList> rows;
  for (const QByteArray &line : shown.readAll().split('\n')) {
    if (line.trimmed().isEmpty())
      continue;
    QStringList cells;
    QString cell;
    bool quoted = false;
    // Held by name: remove() returns a reference into a temporary the loop would outlive.
    const QString text = QString::fromUtf8(line).remove('\r');
    for (const QChar c : text) {
      if (c == '"')
        quoted = !quoted;
      else if (c == ',' && !quoted)
        cells << std::exchange(cell, {});
      else
        cell += c;
    }
    rows.push_back(cells << cell);
  }
  return rows;
}

class VisitsExportTest : public testing::Test, WithViewerApp {
protected:
  QTemporaryDir dir;
  // Leading zeros, a serial a spreadsheet would read as 1.2E+12, a forged serial and series, HTML.
  std::vector<VisitRow> visits{Visit("000123", Series), Visit("120E10", Series),
                               Visit("=1+2", "1\"&HYPERLINK(\"http://x\")&\""),
                               Visit("00A3F1", "-2+3", "<b>KS</b>")};
};

TEST_F(VisitsExportTest, CsvOpensAsTextWithNoLiveFormula) {
  const QString path = dir.filePath("visits.csv");
  QString error;
  ASSERT_TRUE(SaveVisits(path, visits, &error)) << error.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(3) == "\xEF\xBB\xBF");
  const std::vector<QStringList> rows = AsTheOfficeShowsIt(path, dir.path());
  if (rows.empty())
    GTEST_SKIP() << "LibreOffice is not installed";
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].first(), "Серийный номер");
  // Serial, model, series as the person sees them: kept, or the forged text shown as text.
  const std::vector<std::tuple<QString, QString, QString>> expected{{"000123", "KS43", Series},
                                                                   {"120E10", "KS43", Series},
                                                                   {"'=1+2", "KS43", "1\"&HYPERLINK(\"http://x\")&\""},
                                                                   {"00A3F1", "<b>KS</b>", "'-2+3"}};
  for (size_t i = 0; i < expected.size(); ++i) {
    const QStringList &cells = rows[i + 1];
    ASSERT_EQ(cells.size(), 10) << cells.join('|').toStdString();
    EXPECT_EQ(cells[0], std::get<0>(expected[i]));
    EXPECT_EQ(cells[1], std::get<1>(expected[i]));
    EXPECT_EQ(QString(cells[8]).remove('"'), QString(std::get<2>(expected[i])).remove('"'));
    EXPECT_EQ(cells[6], "завершен");
    EXPECT_EQ(cells[7], "7");
  }
}

TEST_F(VisitsExportTest, WorkbookKeepsSerialsAndSeriesAsTextAndTimesAsDates) {
  const QString path = dir.filePath("visits.xlsx");
  visits[1].ending = VisitEnding::LinkLost;
  visits[2].ending = VisitEnding::Interrupted;
  QString error;
  ASSERT_TRUE(SaveVisits(path, visits, &error)) << error.toStdString();
  QProcess unzip;
  unzip.start("unzip", {"-p", path, "xl/worksheets/sheet1.xml"});
  ASSERT_TRUE(unzip.waitForFinished(60000));
  const QString sheet = QString::fromUtf8(unzip.readAllStandardOutput());
  // A text cell is a shared string (t="s"), a date a plain number with a date style.
  auto cell = [&](const char *ref) {
    const QRegularExpression re(QStringLiteral("<c r=\"%1\"([^>]*)>").arg(QLatin1String(ref)));
    return re.match(sheet).captured(1);
  };
  for (const char *ref : {"A2", "A3", "A4", "I2", "I3", "I5", "G2"})
    EXPECT_TRUE(cell(ref).contains("t=\"s\"")) << ref << ": " << cell(ref).toStdString();
  for (const char *ref : {"E2", "F2", "H2"})
    EXPECT_FALSE(cell(ref).contains("t=")) << ref << ": " << cell(ref).toStdString();
  EXPECT_FALSE(sheet.contains("<f>")) << "no formula anywhere";
  const std::vector<QStringList> rows = AsTheOfficeShowsIt(path, dir.path());
  if (rows.empty())
    GTEST_SKIP() << "LibreOffice is not installed";
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1][0], "000123");
  EXPECT_EQ(rows[2][0], "120E10");
  EXPECT_EQ(rows[3][0], "=1+2");
  EXPECT_EQ(rows[1][8], Series);
  EXPECT_EQ(rows[1][4], QDateTime(QDate(2026, 12, 5), QTime(10, 0), Qt::UTC).toLocalTime().toString("yyyy-MM-dd hh:mm:ss"));
  EXPECT_EQ((QStringList{rows[1][6], rows[2][6], rows[3][6]}), (QStringList{"завершен", "связь прервалась", "прерван"}));
}

TEST_F(VisitsExportTest, UnwritableOrUnknownFileIsRefusedAndNothingLeft) {
  QString error;
  EXPECT_FALSE(SaveVisits(dir.filePath("missing/visits.xlsx"), visits, &error));
  EXPECT_TRUE(error.contains("не записан")) << error.toStdString();
  EXPECT_FALSE(SaveVisits(dir.filePath("visits.ods"), visits, &error));
  EXPECT_TRUE(error.contains(".xlsx или .csv")) << error.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

} // namespace
