#pragma once
// The 34 values of a record by parameter number and name, the difference of two records, and
// the record a station left the bench with.
#include "viewer/JournalRecord.h"
#include "viewer/NumberSeries.h"

#include <vector>

namespace viewer {

struct ValueRow {
  int number;
  QString name;  // preset key, e.g. "DEV"; "—" for the hidden values
  QString field; // as kstune's window names it: "Настройка уровня девиации", "УНЧ Вкл., 140-146 МГц"
  int first;
  std::optional<int> second; // the other record's value, when two are compared
  bool changed = false;
};

std::vector<ValueRow> ValueRows(const Values &first, const std::optional<Values> &second = std::nullopt);

// The last completed write or read (all 34 values, outcome ok, a sound series) of the latest
// session that has one; records are in history order (sessions oldest first, then seq). Index
// into records, -1 when none.
int LeftWithRecord(const std::vector<JournalRecord> &records);

} // namespace viewer
