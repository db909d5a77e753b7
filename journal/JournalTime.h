#pragma once
// The journal's time: UTC to the millisecond, stored in SQLite as "2026-12-07T15:04:05.123Z" and
// in PostgreSQL as timestamptz. Writers and readers go through these, so both spell it alike.
#include <QDateTime>
#include <QString>
#include <QVariant>

// "2026-12-07T15:04:05.123Z".
QString JournalTimeText(const QDateTime &at);

// A stored time back, whichever database gave it; invalid when it cannot be read.
QDateTime JournalTimeOf(const QVariant &stored);

// A time to compare the column with: text for SQLite, a date-time for a server.
QVariant JournalTimeParameter(const QDateTime &at, bool server);
