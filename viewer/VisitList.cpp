#include "viewer/VisitList.h"

#include "journal/StationReplay.h"
#include "viewer/StrictSeries.h"
#include "viewer/VisitModel.h"

#include <QSet>

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

// Sessions oldest first, each in its own order: what the replay takes.
std::vector<TJournalRow> InVisitOrder(std::vector<TJournalRow> records, const QStringList &sessions) {
  QHash<QString, int> order;
  for (int i = 0; i < sessions.size(); ++i)
    order.insert(sessions[i], i);
  std::stable_sort(records.begin(), records.end(), [&](const TJournalRow &a, const TJournalRow &b) {
    const int x = order.value(a.Session), y = order.value(b.Session);
    return x != y ? x < y : a.Seq < b.Seq;
  });
  return records;
}

VisitRow RowOf(const SessionSummary &visit, const std::vector<TJournalRow> &upToIt) {
  VisitRow row;
  row.session = visit.session;
  row.serial = visit.serial;
  row.bench = visit.bench;
  row.operatorName = visit.operatorName;
  row.start = visit.start;
  row.end = visit.last;
  bool linkLost = false;
  for (const TJournalRow &r : upToIt) {
    if (r.Session != visit.session)
      continue;
    if (r.At.isValid() && r.At > row.end)
      row.end = r.At;
    if (r.Outcome == TJournalOutcome::LinkLost)
      linkLost = true;
    if (r.Outcome == TJournalOutcome::Ok &&
        (JournalOp::Is(r.Operation, JournalOp::SetValue) || JournalOp::Is(r.Operation, JournalOp::WriteAll) ||
         JournalOp::Is(r.Operation, JournalOp::OverwriteColumn)))
      ++row.valuesSent;
  }
  row.ending = SessionInterrupted(upToIt, visit.session) ? VisitEnding::Interrupted
               : linkLost                                ? VisitEnding::LinkLost
                                                         : VisitEnding::Complete;
  const TReplayedStation state = ReplayStation(upToIt);
  // The station's own model when it told it (a read, or "Ok" storing it), not the bench's setting.
  row.model = VisitModelCode(state, visit.model);
  if (state.Known()) {
    Values values;
    std::copy(state.Values.begin(), state.Values.end(), values.begin());
    row.series = SeriesFromValues(values);
    QStringList uncertain;
    for (size_t k = 0; k < state.Uncertain.size(); ++k)
      if (state.Uncertain[k])
        uncertain << QString::number(k + 1);
    row.uncertain = uncertain.join(QStringLiteral(", "));
  }
  return row;
}

} // namespace

std::vector<VisitRow> VisitRows(JournalReader &reader, const std::vector<SessionSummary> &sessions,
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
  QHash<QString, std::vector<TJournalRow>> recordsOfStation;
  std::vector<VisitRow> rows;
  for (const SessionSummary *s : byStart) {
    if (!VisitPasses(*s, filter))
      continue;
    if (s->serial.isEmpty()) {
      rows.push_back(RowOf(*s, reader.RecordsOfSessions({s->session})));
      continue;
    }
    auto found = recordsOfStation.find(s->serial);
    if (found == recordsOfStation.end()) {
      const QStringList &all = visitsOfStation[s->serial];
      found = recordsOfStation.insert(s->serial, InVisitOrder(reader.RecordsOfSessions(all), all));
    }
    const QStringList &all = visitsOfStation[s->serial];
    const qsizetype upTo = all.indexOf(s->session);
    const QSet<QString> upToVisits(all.begin(), all.begin() + upTo + 1);
    std::vector<TJournalRow> upToIt;
    for (const TJournalRow &r : found.value())
      if (upToVisits.contains(r.Session))
        upToIt.push_back(r);
    rows.push_back(RowOf(*s, upToIt));
  }
  return rows;
}

} // namespace viewer
