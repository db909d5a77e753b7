#pragma once
// The model of a visit as the viewer names it: the model index the station itself stores, when
// a read fetched it or "Ok" stored it; else the model the bench was set to, said to be the bench's.
#include "journal/JournalRecord.h"

#include <QString>

#include <vector>

namespace viewer {

// records: the visit's records in their order (one session, or a station's sessions).
QString VisitModelText(const std::vector<TJournalRow> &records);

} // namespace viewer
