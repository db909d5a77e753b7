#pragma once
// The station list, held in memory: every session in summary, gathered by serial number. Sessions whose serial was never
// read are gathered by bench and local date instead, so none is lost from the list.
#include "viewer/JournalReader.h"

#include <QDate>
#include <QHash>

#include <vector>

namespace viewer {

struct StationEntry {
  QString serial; // empty: sessions without a serial, of one bench on one day
  QDate date;     // the day of such a group
  QString model;
  QString bench;
  QString operatorName;
  QDateTime last;
  bool lastEnded = true;     // its latest session has its disconnect
  bool lastLinkLost = false; // and lost the link on the way
  std::vector<int> sessions; // into Sessions(), oldest first
};

// Empty fields do not filter. Serial, bench and operator: any part; model: exact; the
// dates: a session on or between them (local days). A station matches when its serial matches
// and one of its sessions matches all the rest.
struct StationFilter {
  QString serial;
  QString model;
  QString bench;
  QString operatorName;
  QDate from;
  QDate to;
};

class StationIndex {
public:
  void Clear();
  // Adds sessions, or more of sessions already known (in any order, again or anew), and
  // regathers the stations.
  void Add(const std::vector<SessionSummary> &sessions);
  // A record of a session already gathered that changes nothing but its times: no regathering.
  // False when the session is unknown (then Add() it).
  bool Touch(const QString &session, const QDateTime &at);
  // The stations that pass, by serial number, then the groups without one, newest day first.
  std::vector<int> Match(const StationFilter &filter) const;

  const std::vector<StationEntry> &Stations() const { return stations_; }
  const std::vector<SessionSummary> &Sessions() const { return sessions_; }
  // The station a session belongs to, -1 when the session is unknown.
  int StationOfSession(const QString &session) const;
  QStringList SessionIdsOf(int station) const;
  QStringList Models() const;
  // The filter's conditions other than the serial, on one session.
  bool SessionMatches(const SessionSummary &s, const StationFilter &filter) const;

private:
  void Regather();

  std::vector<SessionSummary> sessions_;
  QHash<QString, int> sessionIndex_;
  std::vector<StationEntry> stations_;
  QHash<QString, int> stationOfSession_;
};

} // namespace viewer
