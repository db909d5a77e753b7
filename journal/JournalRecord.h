#pragma once
// One row of the station journal, as both databases keep it, and the names other programs read
// (the viewer, a factory's own reports): operations and outcomes are stored as these words.
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

} // namespace JournalOp

enum class TJournalOutcome { Ok, LinkLost, NoRead };

inline const char *OutcomeName(TJournalOutcome outcome) {
  switch (outcome) {
  case TJournalOutcome::LinkLost:
    return "link_lost";
  case TJournalOutcome::NoRead:
    return "no_read";
  default:
    return "ok";
  }
}

// What a routine knows of its operation. A null text is stored as NULL.
struct TJournalEntry {
  QString Operation;
  std::optional<int> Parameter;
  std::optional<int> Value;
  QString Series;
  TJournalOutcome Outcome = TJournalOutcome::Ok;
  QString Detail;
};

// The whole row: the entry and where and when it happened.
struct TJournalRow {
  QString Id; // a UUID made by the bench: the key in every database
  QString At; // UTC, "2026-12-07T15:04:05.123Z"
  int Seq = 0;
  QString Session;
  QString Bench;
  QString Operator;
  QString Port;
  QString Model;
  QString Serial;
  TJournalEntry Entry;
};
