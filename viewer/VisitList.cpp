#include "viewer/VisitList.h"

#include "viewer/NumberSeries.h"

#include <QHash>

#include <algorithm>

namespace viewer {

bool VisitPasses(const SessionSummary &visit, const VisitFilter &filter) {
  if (!filter.serial.trimmed().isEmpty() && !visit.serial.contains(filter.serial.trimmed(), Qt::CaseInsensitive))
    return false;
  if (filter.from.isValid() && visit.last.toLocalTime().date() < filter.from)
    return false;
  if (filter.to.isValid() && visit.start.toLocalTime().date() > filter.to)
    return false;
  return true;
}

namespace {

bool Is(const JournalRecord &r, const char *operation) { return r.operation == QLatin1String(operation); }

// What the station held after these records: the last full set it acknowledged (or a read),
// then every value it acknowledged after it; a value whose exchange lost the link, and every value
// of a visit cut off without its end, is uncertain.
struct Replayed {
  std::optional<Values> values;
  std::array<bool, 34> uncertain{};
};

Replayed Replay(const std::vector<JournalRecord> &records, const QSet<QString> &cutOff) {
  Replayed state;
  for (const JournalRecord &r : records) {
    const bool ok = r.outcome == QLatin1String("ok");
    if (HoldsAllValues(r.operation) && ok) {
      if (const auto values = ValuesFromSeries(r.series)) {
        state.values = values;
        state.uncertain.fill(false);
      }
    } else if (Is(r, "set_value") && state.values && r.parameter && r.value && *r.parameter >= 1 &&
               *r.parameter <= 34 && *r.value >= 0 && *r.value <= 255) {
      const size_t k = static_cast<size_t>(*r.parameter - 1);
      if (ok) {
        (*state.values)[k] = static_cast<uint8_t>(*r.value);
        state.uncertain[k] = false;
      } else if (r.outcome == QLatin1String("link_lost")) {
        state.uncertain[k] = true;
      }
    }
  }
  if (!records.empty() && cutOff.contains(records.back().session))
    state.uncertain.fill(true);
  return state;
}

VisitRow RowOf(const SessionSummary &visit, const std::vector<JournalRecord> &upToIt) {
  VisitRow row;
  row.session = visit.session;
  row.serial = visit.serial;
  row.model = visit.model;
  row.bench = visit.bench;
  row.operatorName = visit.operatorName;
  row.start = visit.start;
  row.end = visit.last;
  bool linkLost = false, ended = false;
  for (const JournalRecord &r : upToIt) {
    if (r.session != visit.session)
      continue;
    if (r.at.isValid() && r.at > row.end)
      row.end = r.at;
    linkLost = linkLost || r.outcome == QLatin1String("link_lost");
    ended = ended || Is(r, "disconnect");
    if (r.outcome == QLatin1String("ok") && (Is(r, "set_value") || Is(r, "write_all") || Is(r, "overwrite_column")))
      ++row.valuesSent;
  }
  row.ending = !ended ? VisitEnding::Interrupted : linkLost ? VisitEnding::LinkLost : VisitEnding::Complete;
  const Replayed state = Replay(upToIt, ended ? QSet<QString>{} : QSet<QString>{visit.session});
  if (state.values) {
    row.series = SeriesFromValues(*state.values);
    QStringList uncertain;
    for (size_t k = 0; k < state.uncertain.size(); ++k)
      if (state.uncertain[k])
        uncertain << QString::number(k + 1);
    row.uncertain = uncertain.join(QStringLiteral(", "));
  }
  return row;
}

} // namespace

std::vector<VisitRow> VisitRows(JournalStore &reader, const std::vector<SessionSummary> &sessions,
                                const VisitFilter &filter) {
  std::vector<const SessionSummary *> byStart;
  for (const SessionSummary &s : sessions)
    byStart.push_back(&s);
  std::stable_sort(byStart.begin(), byStart.end(),
                   [](const SessionSummary *a, const SessionSummary *b) { return a->start < b->start; });
  // A station's earlier visits count for what it held; visits without a serial stand alone.
  QHash<QString, QStringList> visitsOfStation;
  for (const SessionSummary *s : byStart)
    if (!s->serial.isEmpty())
      visitsOfStation[s->serial] << s->session;
  QHash<QString, std::vector<JournalRecord>> recordsOfStation;
  std::vector<VisitRow> rows;
  for (const SessionSummary *s : byStart) {
    if (!VisitPasses(*s, filter))
      continue;
    const QStringList visits = s->serial.isEmpty() ? QStringList{s->session} : visitsOfStation[s->serial];
    const QString key = s->serial.isEmpty() ? s->session : s->serial;
    auto found = recordsOfStation.find(key);
    if (found == recordsOfStation.end()) {
      QHash<QString, int> order;
      for (int i = 0; i < visits.size(); ++i)
        order.insert(visits[i], i);
      std::vector<JournalRecord> records = reader.RecordsOfSessions(visits);
      // Sessions oldest first, each in its own order: the order the station lived them.
      std::stable_sort(records.begin(), records.end(), [&](const JournalRecord &a, const JournalRecord &b) {
        const int x = order.value(a.session), y = order.value(b.session);
        return x != y ? x < y : a.seq < b.seq;
      });
      found = recordsOfStation.insert(key, std::move(records));
    }
    const qsizetype upTo = visits.indexOf(s->session);
    const QSet<QString> upToVisits(visits.begin(), visits.begin() + upTo + 1);
    std::vector<JournalRecord> upToIt;
    for (const JournalRecord &r : found.value())
      if (upToVisits.contains(r.session))
        upToIt.push_back(r);
    rows.push_back(RowOf(*s, upToIt));
  }
  return rows;
}

} // namespace viewer
