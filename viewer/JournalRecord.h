#pragma once
// One row of the bench journal, as the viewer holds it. Columns that are NULL in the journal are
// empty strings or empty optionals here.
#include <QDateTime>
#include <QString>

#include <optional>

namespace viewer {

struct JournalRecord {
  QString id;
  QDateTime at; // UTC; invalid when the stored time could not be read
  qint64 seq = 0;
  QString session;
  QString bench;
  QString operatorName;
  QString port;
  QString model;
  QString serial;
  QString operation;
  std::optional<int> parameter;
  std::optional<int> value;
  QString series;
  QString outcome;
  QString detail;
};

// Operations whose series holds all 34 values.
inline bool HoldsAllValues(const QString &operation) {
  return operation == QLatin1String("write_all") || operation == QLatin1String("overwrite_column") ||
         operation == QLatin1String("read_all");
}

// What the technician pressed, in the window's words.
QString OperationText(const QString &operation);
QString OutcomeText(const QString &outcome);

// Local time to the second, the way the list and the history show it.
QString TimeText(const QDateTime &at);

} // namespace viewer
