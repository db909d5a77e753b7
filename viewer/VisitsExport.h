#pragma once
// The visits list as a workbook for the quality file: one row a visit (one session, "Подключиться"
// to "Отключиться"), as .xlsx or as CSV that a spreadsheet opens without asking.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace viewer {

// How a visit ended: "Отключиться" pressed, the station stopped answering, or the session was
// cut off (kstune killed, the bench switched off) with no disconnect in the journal.
enum class VisitEnding { Complete, LinkLost, Interrupted };

QString EndingText(VisitEnding ending);

struct VisitRow {
  QString session;
  QString serial; // empty: never read
  QString model;
  QString bench;
  QString operatorName;
  QDateTime start, end; // UTC
  VisitEnding ending = VisitEnding::Complete;
  int valuesSent = 0; // acknowledged set-values and whole writes
  QString series;     // values on exit, empty when unknown
  QString uncertain;  // parameters whose value on exit is not sure ("18, 25"), empty when all are
};

// The column captions, in order.
const QStringList &VisitColumns();

// UTF-8 with a byte-order mark, comma-separated, CR LF. Serial and series are kept as text with
// ="…", and only when they are what they should be (hex digits, a sound 102-digit series);
// anything else that a spreadsheet would take for a formula is defused with an apostrophe.
QByteArray VisitsCsv(const std::vector<VisitRow> &visits);

// By the file's suffix: .xlsx or .csv. Written beside the target and renamed over it, so a failure
// leaves no half-written file. False with the reason (Russian) in *error.
bool SaveVisits(const QString &path, const std::vector<VisitRow> &visits, QString *error);

} // namespace viewer
