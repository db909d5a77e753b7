#include "viewer/StationIndex.h"

#include <algorithm>
#include <map>
#include <utility>
#include <tuple>

namespace viewer {

void StationIndex::Clear() {
  sessions_.clear();
  sessionIndex_.clear();
  stations_.clear();
  stationOfSession_.clear();
}

void StationIndex::Add(const std::vector<SessionSummary> &sessions) {
  if (sessions.empty())
    return;
  for (const SessionSummary &v : sessions) {
    auto found = sessionIndex_.constFind(v.session);
    if (found == sessionIndex_.constEnd()) {
      sessionIndex_.insert(v.session, static_cast<int>(sessions_.size()));
      sessions_.push_back(v);
      continue;
    }
    SessionSummary &s = sessions_[static_cast<size_t>(found.value())];
    if (v.start.isValid() && (!s.start.isValid() || v.start < s.start))
      s.start = v.start;
    const bool latest = !s.last.isValid() || (v.last.isValid() && v.last >= s.last);
    if (latest && v.last.isValid())
      s.last = v.last;
    if (!v.serial.isEmpty() && (s.serial.isEmpty() || latest))
      s.serial = v.serial;
    if (!v.model.isEmpty() && (s.model.isEmpty() || latest))
      s.model = v.model;
    s.ended = s.ended || v.ended;
    s.linkLost = s.linkLost || v.linkLost;
    if (s.bench.isEmpty())
      s.bench = v.bench;
    if (s.operatorName.isEmpty())
      s.operatorName = v.operatorName;
  }
  Regather();
}

void StationIndex::Regather() {
  stations_.clear();
  stationOfSession_.clear();
  stationOfSession_.reserve(static_cast<qsizetype>(sessions_.size()));
  // Sessions oldest first; the times are taken out once, comparing QDateTime is slow.
  std::vector<std::pair<qint64, int>> byStart(sessions_.size());
  for (size_t i = 0; i < byStart.size(); ++i)
    byStart[i] = {sessions_[i].start.isValid() ? sessions_[i].start.toMSecsSinceEpoch() : 0, static_cast<int>(i)};
  std::sort(byStart.begin(), byStart.end());
  QHash<QString, int> bySerial;
  bySerial.reserve(static_cast<qsizetype>(sessions_.size()));
  // Newest day first, then bench.
  std::map<std::tuple<qint64, QString>, int> unread;
  std::vector<StationEntry> read, groups;
  for (const auto &[start, index] : byStart) {
    const SessionSummary &s = sessions_[static_cast<size_t>(index)];
    StationEntry *entry;
    if (!s.serial.isEmpty()) {
      auto it = bySerial.find(s.serial);
      if (it == bySerial.end()) {
        it = bySerial.insert(s.serial, static_cast<int>(read.size()));
        read.push_back({s.serial, {}, {}, {}, {}, {}, {}, {}, {}});
      }
      entry = &read[static_cast<size_t>(it.value())];
    } else {
      const QDate day = s.start.toLocalTime().date();
      auto [it, fresh] = unread.try_emplace({-day.toJulianDay(), s.bench}, static_cast<int>(groups.size()));
      if (fresh)
        groups.push_back({{}, day, {}, s.bench, {}, {}, {}, {}, {}});
      entry = &groups[static_cast<size_t>(it->second)];
    }
    entry->sessions.push_back(index);
    if (entry->sessions.size() == 1 || s.last >= entry->last) {
      entry->last = s.last;
      entry->model = s.model;
      entry->bench = s.bench;
      entry->operatorName = s.operatorName;
      entry->lastEnded = s.ended;
      entry->lastLinkLost = s.linkLost;
    }
  }
  stations_.reserve(read.size() + groups.size());
  std::sort(read.begin(), read.end(), [](const StationEntry &a, const StationEntry &b) { return a.serial < b.serial; });
  for (StationEntry &station : read)
    stations_.push_back(std::move(station));
  for (const auto &[key, index] : unread)
    stations_.push_back(std::move(groups[static_cast<size_t>(index)]));
  for (size_t i = 0; i < stations_.size(); ++i)
    for (int session : stations_[i].sessions)
      stationOfSession_.insert(sessions_[static_cast<size_t>(session)].session, static_cast<int>(i));
}

bool StationIndex::SessionMatches(const SessionSummary &s, const StationFilter &filter) const {
  if (!filter.model.isEmpty() && s.model != filter.model)
    return false;
  if (!filter.bench.isEmpty() && !s.bench.contains(filter.bench, Qt::CaseInsensitive))
    return false;
  if (!filter.operatorName.isEmpty() && !s.operatorName.contains(filter.operatorName, Qt::CaseInsensitive))
    return false;
  if (filter.from.isValid() && s.last.toLocalTime().date() < filter.from)
    return false;
  if (filter.to.isValid() && s.start.toLocalTime().date() > filter.to)
    return false;
  return true;
}

std::vector<int> StationIndex::Match(const StationFilter &filter) const {
  std::vector<int> matches;
  const QString part = filter.serial.trimmed();
  const bool bySession = !filter.model.isEmpty() || !filter.bench.isEmpty() || !filter.operatorName.isEmpty() ||
                         filter.from.isValid() || filter.to.isValid();
  for (size_t i = 0; i < stations_.size(); ++i) {
    const StationEntry &station = stations_[i];
    if (!part.isEmpty() && !station.serial.contains(part, Qt::CaseInsensitive))
      continue;
    if (bySession && std::none_of(station.sessions.begin(), station.sessions.end(), [&](int s) {
          return SessionMatches(sessions_[static_cast<size_t>(s)], filter);
        }))
      continue;
    matches.push_back(static_cast<int>(i));
  }
  return matches;
}

bool StationIndex::Touch(const QString &session, const QDateTime &at) {
  const auto found = sessionIndex_.constFind(session);
  const int station = stationOfSession_.value(session, -1);
  if (found == sessionIndex_.constEnd() || station < 0)
    return false;
  SessionSummary &s = sessions_[static_cast<size_t>(found.value())];
  if (at.isValid() && (!s.last.isValid() || at > s.last))
    s.last = at;
  StationEntry &entry = stations_[static_cast<size_t>(station)];
  if (entry.sessions.back() == found.value() && s.last > entry.last)
    entry.last = s.last;
  return true;
}

int StationIndex::StationOfSession(const QString &session) const { return stationOfSession_.value(session, -1); }

QStringList StationIndex::SessionIdsOf(int station) const {
  QStringList ids;
  if (station < 0 || station >= static_cast<int>(stations_.size()))
    return ids;
  for (int s : stations_[static_cast<size_t>(station)].sessions)
    ids << sessions_[static_cast<size_t>(s)].session;
  return ids;
}

QStringList StationIndex::Models() const {
  QStringList models;
  for (const SessionSummary &s : sessions_)
    if (!s.model.isEmpty() && !models.contains(s.model))
      models << s.model;
  models.sort();
  return models;
}

} // namespace viewer
