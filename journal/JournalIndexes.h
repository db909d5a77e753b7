#pragma once
// The indexes every reader of the journal relies on, made by kstune with the table and by the
// viewer on an older local file it may write. One definition, so that both make the same index
// and neither finds a different one of the same name.
#include <string_view>

namespace journal_indexes {

// A session's records in their order.
inline constexpr const char *Session = "CREATE INDEX IF NOT EXISTS journal_session ON journal (session, seq)";

// The station list's visits (connect, serial read, disconnect), answered from the index alone.
inline constexpr const char *Visits =
    "CREATE INDEX IF NOT EXISTS journal_visits ON journal (session, at, serial, model, bench, \"operator\", "
    "operation) WHERE operation IN ('connect', 'serial', 'disconnect')";
// A query that reads the visits must say the index's condition word for word to be answered by it.
inline constexpr std::string_view VisitsWhere = "operation IN ('connect', 'serial', 'disconnect')";
static_assert(std::string_view(Visits).ends_with(VisitsWhere));

// The sessions that lost the link somewhere: a handful of rows among millions, so the station
// list can mark such visits without reading every record.
inline constexpr const char *Lost = "CREATE INDEX IF NOT EXISTS journal_lost ON journal (session) WHERE outcome = 'link_lost'";
inline constexpr std::string_view LostWhere = "outcome = 'link_lost'";
static_assert(std::string_view(Lost).ends_with(LostWhere));

} // namespace journal_indexes
