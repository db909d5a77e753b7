#pragma once
// The 34 values of a record by parameter number and name, the difference of two records, and
// the record a station left the bench with.
#include "viewer/RecordTexts.h"

#include <array>
#include "viewer/StrictSeries.h"

#include <vector>

namespace viewer {

struct ValueRow {
  int number;
  QString name;  // preset key, e.g. "DEV"; "—" for the hidden values
  QString field; // as kstune's window names it: "Настройка уровня девиации", "УНЧ Вкл., 140-146 МГц"
  int first;
  std::optional<int> second; // the other record's value, when two are compared
  bool changed = false;
  bool uncertain = false; // the station may hold another value
};

std::vector<ValueRow> ValueRows(const Values &first, const std::optional<Values> &second = std::nullopt,
                                const std::array<bool, 34> *uncertain = nullptr);

// "№ 18, 25": the parameters whose value is uncertain.
QString UncertainNumbers(const std::array<bool, 34> &uncertain);

} // namespace viewer
