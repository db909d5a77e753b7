// Pictures of the viewer for the README, over a journal of a bench's morning made here with
// plain SQL: ViewerScreenshot <folder> writes viewer.png (a station's history and the telemetry
// of its last session) and viewer-values.png (the difference of two of its writes). Run it on
// an X display (Xvfb will do), so that the pictures show the real fonts.
#include "tests/viewer/TestJournal.h"
#include "viewer/JournalWindow.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {

QString At(const QDateTime &t) { return t.toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzzZ"); }

QString Series(const std::vector<int> &values) {
  QString s;
  for (int v : values)
    s += QString("%1").arg(v, 3, 10, QChar('0'));
  return s;
}

struct Session {
  std::vector<Row> rows;
  QString id, bench, op, model, serial;
  QDateTime t;
  void Add(const QString &operation, int seconds, const std::function<void(Row &)> &fill = {}) {
    t = t.addMSecs(seconds * 1000 + 137 * static_cast<int>(rows.size() % 7));
    const bool known = !serial.isEmpty() && rows.size() >= 1;
    Row r{At(t), static_cast<int>(rows.size()) + 1, id, bench, op, model, known ? serial : QString(), operation};
    if (fill)
      fill(r);
    rows.push_back(r);
  }
};

std::vector<int> Preset(int shift) {
  std::vector<int> v{120, 118, 117, 121, 124, 126, 96, 95, 97, 99, 101, 103, 0, 0, 0, 0, 0,
                     83, 120, 120, 200, 188, 193, 55, 25, 155, 44, 171, 87, 203, 121, 244, 65, 55};
  for (size_t i = 17; i < v.size(); ++i)
    v[i] = (v[i] + shift * static_cast<int>(i % 3)) % 256;
  return v;
}

Session Tuning(const QString &id, const QString &serial, const QDateTime &start, int shift, bool telemetry) {
  Session s{{}, id, "stend-3", "ivanova", "KS43", serial, start};
  s.Add("connect", 0);
  if (!serial.isEmpty())
    s.Add("serial", 3, [&](Row &r) { r.detail = serial; });
  s.Add("processor_date", 2, [](Row &r) { r.detail = "12.03.2026"; });
  std::vector<int> values = Preset(shift);
  s.Add("read_all", 4, [&](Row &r) { r.series = Series(values); r.detail = "1"; });
  if (telemetry) {
    const int steps[][2] = {{18, 86}, {19, 124}, {31, 127}, {20, 116}, {25, 28}, {32, 240}, {24, 58}, {18, 88}};
    for (int i = 0; i < 24; ++i) {
      const double x = i / 23.0;
      s.Add("dac", 9, [&](Row &r) {
        const int bytes[8] = {int(60 + 90 * x), int(110 + 25 * std::sin(i / 3.0)), 120 + i, int(40 + 150 * x * x),
                              int(200 - 30 * x), int(150 + 20 * std::cos(i / 4.0)), 118 - i / 2, 140};
        for (int b : bytes)
          r.detail += QString("%1 ").arg(b, 2, 16, QChar('0')).toUpper();
        r.detail = r.detail.trimmed();
      });
      if (i % 3 == 2) {
        const auto &step = steps[(i / 3) % 8];
        values[static_cast<size_t>(step[0] - 1)] = step[1];
        s.Add("set_value", 2, [&](Row &r) { r.parameter = step[0]; r.value = step[1]; });
      }
      if (i % 6 == 5)
        s.Add("refl_forw", 3, [&](Row &r) { r.detail = QString("REFL=%1 FORW=%2").arg(4 + i / 6).arg(int(90 + 120 * x)); });
    }
  }
  s.Add("write_all", 6, [&](Row &r) { r.series = Series(values); });
  s.Add("read_all", 4, [&](Row &r) { r.series = Series(values); r.detail = "1"; });
  s.Add("disconnect", 5);
  return s;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ViewerScreenshot <folder>\n");
    return 2;
  }
  qputenv("TZ", "Europe/Moscow");
  QApplication app(argc, argv);
  TestJournal journal;
  const QDateTime day(QDate(2026, 12, 7), QTime(6, 5), Qt::UTC);
  std::vector<Session> sessions{Tuning("s1", "00A3F1", day.addDays(-14), 0, false),
                                Tuning("s2", "00A3F2", day.addDays(-6), 1, false),
                                Tuning("s3", "00A40C", day.addDays(-3), 2, false),
                                Tuning("s4", "", day.addDays(-1), 1, false),
                                Tuning("s5", "00B117", day.addSecs(-3600), 3, false),
                                Tuning("s6", "00A3F1", day, 2, true),
                                Tuning("s7", "01C2D5", day.addSecs(3 * 3600), 1, false)};
  for (const Session &s : sessions)
    journal.Append(s.rows);
  viewer::JournalWindow window;
  window.resize(1360, 860);
  // The journal where a bench keeps it, so that the status bar reads as on a bench PC.
  const QString home = journal.Dir() + "/home";
  QDir().mkpath(home + "/.local/share");
  QFile::link(journal.Dir(), home + "/.local/share/kstune");
  qputenv("HOME", home.toLocal8Bit());
  viewer::JournalSource source;
  source.path = home + "/.local/share/kstune/journal.sqlite";
  window.OpenJournal(source);
  window.show();
  window.ShowStationRow(0);
  window.findChild<QTabWidget *>("Tabs")->setCurrentIndex(0);
  QTest::qWait(500);
  window.grab().save(QString::fromLocal8Bit(argv[1]) + "/viewer.png");
  const auto &history = window.History();
  std::vector<int> writes;
  for (size_t i = 0; i < history.size(); ++i)
    if (history[i].Operation == "write_all")
      writes.push_back(static_cast<int>(i));
  window.ChooseRecords({writes.front(), writes.back()});
  QTest::qWait(500);
  window.grab().save(QString::fromLocal8Bit(argv[1]) + "/viewer-values.png");
  return 0;
}
