#pragma once
// What a station holds after the records of its visits, replayed: the last full set (a write or
// column overwrite the station acknowledged, or a read) and then every later value it
// acknowledged. Every value set goes to the station at once, so the last "Запись" alone is not
// what the station left with. A value whose exchange lost the link may or may not have been
// taken, and nothing is known of what followed the last record of a session that never ended:
// such values are marked uncertain rather than guessed.
#include "journal/JournalRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct TReplayedStation {
  std::array<uint8_t, 34> Values{};   // index 0: parameter 1
  std::array<bool, 34> Uncertain{};   // the station may hold another value
  int FullSet = -1;                   // the record of the last full set; -1: none, nothing known
  int ChangesAfter = 0;               // values set after it that the station acknowledged
  int LastRecord = -1;                // the last record that changed a value
  bool Interrupted = false;           // the last session has no end in the journal
  // The model index the station stores, as its last read answered or its last "Ok" stored it.
  std::optional<int> StoredModelIndex;
  int ModelRecord = -1; // that record

  bool Known() const { return FullSet >= 0; }
  bool AnyUncertain() const;
};

// records: one station's visits in their order (sessions oldest first, each by seq).
TReplayedStation ReplayStation(const std::vector<TJournalRow> &records);

// A session whose connection was made and that has no disconnect record: kstune was killed, the
// machine lost power, or the session is still going on.
bool SessionInterrupted(const std::vector<TJournalRow> &records, const QString &session);
