#include "viewer/VisitModel.h"

#include "journal/StationReplay.h"
#include "table/ModelList.h"

namespace viewer {

QString VisitModelText(const std::vector<TJournalRow> &records) {
  const TReplayedStation state = ReplayStation(records);
  if (state.StoredModelIndex) {
    const int index = *state.StoredModelIndex;
    if (const params::ModelEntry *entry = params::ModelEntryOf(index))
      return QStringLiteral("%1 (\"%2\", индекс %3 в станции)")
          .arg(QString::fromUtf8(entry->code.data(), static_cast<qsizetype>(entry->code.size())),
               QString::fromUtf8(entry->text.data(), static_cast<qsizetype>(entry->text.size())))
          .arg(index);
    return QStringLiteral("индекс %1 в станции, модели с таким индексом нет").arg(index);
  }
  const QString bench = records.empty() ? QString() : records.back().Model;
  return QStringLiteral("%1 (модель стенда, из станции не читалась)").arg(bench.isEmpty() ? QStringLiteral("?") : bench);
}

QString VisitModelCode(const TReplayedStation &state, const QString &benchModel) {
  if (state.StoredModelIndex) {
    if (const params::ModelEntry *entry = params::ModelEntryOf(*state.StoredModelIndex))
      return QString::fromUtf8(entry->code.data(), static_cast<qsizetype>(entry->code.size()));
    return QStringLiteral("индекс %1").arg(*state.StoredModelIndex);
  }
  return (benchModel.isEmpty() ? QStringLiteral("?") : benchModel) + QStringLiteral(" (стенд)");
}

} // namespace viewer
