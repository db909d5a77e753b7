#include "viewer/RecordValues.h"

#include "params/ParamList.h"
#include "viewer/FieldNames.h"

namespace viewer {

std::vector<ValueRow> ValueRows(const Values &first, const std::optional<Values> &second) {
  std::vector<ValueRow> rows;
  rows.reserve(params::ParamCount);
  for (const params::ParamInfo &p : params::Params) {
    ValueRow row;
    row.number = p.number;
    row.name = p.key.empty() ? QStringLiteral("—") : QString::fromUtf8(p.key.data(), static_cast<qsizetype>(p.key.size()));
    row.field = FieldName(p);
    const size_t k = static_cast<size_t>(p.number - 1);
    row.first = first[k];
    if (second) {
      row.second = (*second)[k];
      row.changed = *row.second != row.first;
    }
    rows.push_back(row);
  }
  return rows;
}

int LeftWithRecord(const std::vector<JournalRecord> &records) {
  for (int i = static_cast<int>(records.size()) - 1; i >= 0; --i) {
    const JournalRecord &r = records[static_cast<size_t>(i)];
    if (HoldsAllValues(r.operation) && r.outcome == QLatin1String("ok") && ValuesFromSeries(r.series))
      return i;
  }
  return -1;
}

} // namespace viewer
