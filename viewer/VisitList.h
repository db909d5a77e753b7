#pragma once
// The visits of the journal as the export's rows: who, where, when, how each ended and what the
// station held when it left, replayed from the visit's own records and the station's earlier ones.
#include "viewer/JournalReader.h"
#include "viewer/VisitsExport.h"

#include <QDate>

#include <vector>

namespace viewer {

// Which visits: empty fields do not filter. Serial: any part, any case; days: local, inclusive.
struct VisitFilter {
  QString serial;
  QDate from, to;
};

bool VisitPasses(const SessionSummary &visit, const VisitFilter &filter);

// Rows of the visits that pass, oldest first. The values on exit of a visit are replayed over the
// station's visits up to it, so a visit that only set two values still shows all 34.
std::vector<VisitRow> VisitRows(JournalReader &reader, const std::vector<SessionSummary> &sessions,
                                const VisitFilter &filter);

} // namespace viewer
