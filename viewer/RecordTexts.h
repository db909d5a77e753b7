#pragma once
// A journal record in the viewer's words: what the technician pressed, what came of it, when.
#include "journal/JournalRecord.h"

#include <QDateTime>
#include <QString>

namespace viewer {

// What the technician pressed, in the window's words; an operation of a newer kstune keeps its
// own name rather than being hidden.
QString OperationText(const QString &operation);
QString OutcomeText(TJournalOutcome outcome);

// Local time to the second, the way the list and the history show it.
QString TimeText(const QDateTime &at);

} // namespace viewer
