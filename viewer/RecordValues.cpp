#include "viewer/RecordValues.h"

#include "table/ParamList.h"
#include "viewer/FieldNames.h"

namespace viewer {

std::vector<ValueRow> ValueRows(const Values &first, const std::optional<Values> &second,
                                const std::array<bool, 34> *uncertain) {
  std::vector<ValueRow> rows;
  rows.reserve(params::ParamCount);
  for (const params::ParamInfo &p : params::Params) {
    ValueRow row;
    row.number = p.number;
    row.name = p.key.empty() ? QStringLiteral("—") : QString::fromUtf8(p.key.data(), static_cast<qsizetype>(p.key.size()));
    row.field = FieldName(p);
    const size_t k = static_cast<size_t>(p.number - 1);
    row.first = first[k];
    row.uncertain = uncertain && (*uncertain)[k];
    if (second) {
      row.second = (*second)[k];
      row.changed = *row.second != row.first;
    }
    rows.push_back(row);
  }
  return rows;
}

QString UncertainNumbers(const std::array<bool, 34> &uncertain) {
  QStringList numbers;
  for (size_t k = 0; k < uncertain.size(); ++k)
    if (uncertain[k])
      numbers << QString::number(k + 1);
  return numbers.isEmpty() ? QString() : QStringLiteral("№ ") + numbers.join(QStringLiteral(", "));
}

} // namespace viewer
