#pragma once
// The model of a visit as the viewer names it: the model index the station itself stores, when
// a read fetched it or "Ok" stored it; else the model the bench was set to, said to be the bench's.
#include "journal/JournalRecord.h"
#include "journal/StationReplay.h"

#include <QString>

#include <vector>

namespace viewer {

// records: the visit's records in their order (one session, or a station's sessions).
QString VisitModelText(const std::vector<TJournalRow> &records);
// The same in a column of a list or a workbook: the station's model code ("KS43"), "индекс N"
// for a stored index no model has, or the bench's code followed by " (стенд)".
QString VisitModelCode(const TReplayedStation &state, const QString &benchModel);

} // namespace viewer
