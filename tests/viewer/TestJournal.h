#pragma once
// Journals for the viewer's tests, written with plain SQL in the journal's fixed layout: table
// journal, the fifteen columns, times as ISO 8601 UTC text with milliseconds, WAL mode.
#include <QApplication>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <vector>

// The application object of a viewer test program (tests/support/TestApplication.h), times
// shown in UTC.
QApplication &ViewerTestApp();

// A fixture base that makes the application object before any member widget.
struct WithViewerApp {
  WithViewerApp() { ViewerTestApp(); }
};

struct Row {
  QString at; // "2026-12-05T10:00:00.000Z"
  int seq;
  QString session;
  QString bench;
  QString operatorName;
  QString model;
  QString serial; // empty: NULL
  QString operation;
  std::optional<int> parameter = std::nullopt;
  std::optional<int> value = std::nullopt;
  QString series = {}; // empty: NULL
  QString outcome = QStringLiteral("ok");
  QString detail = {}; // empty: NULL
  QString port = QStringLiteral("COM2 /dev/pts/3");
};

class TestJournal {
public:
  // extraColumns: more columns, as a newer kstune might add ("firmware TEXT").
  explicit TestJournal(const QString &extraColumns = {});
  ~TestJournal();

  QString Path() const { return dir_.filePath(QStringLiteral("journal.sqlite")); }
  QString Dir() const { return dir_.path(); }
  // Appends rows in the order given, through a connection of its own that is closed afterwards.
  void Append(const std::vector<Row> &rows);

private:
  QTemporaryDir dir_;
  QString connection_;
};

// A series of 34 groups from a list of (parameter, value) over a base value for all the rest.
QString SeriesWith(int base, std::initializer_list<std::pair<int, int>> changes);
