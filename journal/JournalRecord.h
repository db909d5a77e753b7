#pragma once
// One record of the station journal, as both databases keep it and every reader gets it back,
// and the words other programs read (the viewer, a factory's own reports): operations and
// outcomes are stored as these words and spelled nowhere else.
#include <QDateTime>
#include <QString>

#include <optional>

namespace JournalOp {

inline constexpr const char *Connect = "connect";
inline constexpr const char *Disconnect = "disconnect";
inline constexpr const char *SetValue = "set_value";
inline constexpr const char *WriteAll = "write_all";
inline constexpr const char *OverwriteColumn = "overwrite_column";
inline constexpr const char *ReadAll = "read_all";
inline constexpr const char *Model = "model";
inline constexpr const char *Serial = "serial";
inline constexpr const char *ProcessorDate = "processor_date";
inline constexpr const char *Dac = "dac";
inline constexpr const char *ReflForw = "refl_forw";
inline constexpr const char *FrontPanel = "front_panel";
inline constexpr const char *Report = "report";

// Every word above, in this order.
inline constexpr const char *All[] = {Connect,       Disconnect, SetValue, WriteAll,  OverwriteColumn,
                                      ReadAll,       Model,      Serial,   ProcessorDate, Dac,
                                      ReflForw,      FrontPanel, Report};

// True when the stored operation is this word.
inline bool Is(const QString &operation, const char *word) { return operation == QLatin1String(word); }

// Operations whose series holds all 34 values.
inline bool HoldsAllValues(const QString &operation) {
  return Is(operation, WriteAll) || Is(operation, OverwriteColumn) || Is(operation, ReadAll);
}

} // namespace JournalOp

// Unknown: a word this kstune does not know (a journal of a newer one); it stays unknown.
enum class TJournalOutcome { Ok, LinkLost, NoRead, Unknown };

const char *OutcomeName(TJournalOutcome outcome);
TJournalOutcome OutcomeOf(const QString &word);

// What a routine knows of its operation. A null text is stored as NULL.
struct TJournalEntry {
  QString Operation;
  std::optional<int> Parameter;
  std::optional<int> Value;
  QString Series;
  TJournalOutcome Outcome = TJournalOutcome::Ok;
  QString Detail;
};

// The whole record: the entry and where and when it happened. Columns that are NULL in the
// journal are null texts or empty optionals here.
struct TJournalRow : TJournalEntry {
  QString Id;   // a UUID made by the bench: the key in every database
  QDateTime At; // UTC, to the millisecond; invalid when a stored time could not be read
  qint64 Seq = 0;
  QString Session;
  QString Bench;
  QString Operator;
  QString Port;
  QString Model;
  QString Serial;
};
