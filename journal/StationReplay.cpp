#include "journal/StationReplay.h"

#include "journal/JournalDetail.h"
#include "table/NumberSeries.h"

#include <algorithm>

namespace {

using JournalOp::Is;

// The answers of a set-value exchange: 55, 0, the address, then the value itself.
constexpr int SetValueAnswerOfValue = 4;

// How many answers came before the exchange stopped; nullopt when it did not stop.
std::optional<int> AnswersBeforeStop(const TJournalDetail &detail) {
  if (detail.MissingAnswer)
    return *detail.MissingAnswer - 1;
  if (detail.BrokenAfter)
    return *detail.BrokenAfter;
  return std::nullopt;
}

void AllUncertain(TReplayedStation &state) {
  if (state.Known())
    state.Uncertain.fill(true);
}

void ApplyFullSet(TReplayedStation &state, const params::SeriesValues &values, int record) {
  std::copy(values.begin(), values.end(), state.Values.begin());
  state.Uncertain.fill(false);
  state.FullSet = record;
  state.ChangesAfter = 0;
  state.LastRecord = record;
}

// A write of all values that stopped: each value sent may or may not have been taken, which
// matters only where it differs from what the station held; the values never sent are uncertain
// too, as the station's half-done exchange may take later bytes for them.
void ApplyCutWrite(TReplayedStation &state, const params::SeriesValues &values, int answers, int record) {
  if (!state.Known())
    return;
  // Byte 1 is the command; value k is byte k + 1 and went out once k answers had come.
  for (int k = 1; k <= static_cast<int>(values.size()); ++k) {
    const size_t i = static_cast<size_t>(k - 1);
    if (k <= answers) {
      if (values[i] != state.Values[i])
        state.Uncertain[i] = true;
      state.Values[i] = values[i];
    } else {
      state.Uncertain[i] = true;
    }
  }
  state.LastRecord = record;
}

void ApplySetValue(TReplayedStation &state, const TJournalRow &r, int record) {
  if (!r.Parameter || !r.Value || *r.Parameter < 1 || *r.Parameter > 34 || !state.Known())
    return;
  const size_t k = static_cast<size_t>(*r.Parameter - 1);
  const auto stop = r.Outcome == TJournalOutcome::Ok ? std::nullopt : AnswersBeforeStop(JournalDetailOf(r.Detail));
  if (r.Outcome == TJournalOutcome::Ok || !stop) {
    state.Values[k] = static_cast<uint8_t>(*r.Value);
    state.Uncertain[k] = r.Outcome != TJournalOutcome::Ok;
    ++state.ChangesAfter;
  } else {
    // The value went out once the address was answered, and then the station's exchange was
    // whole: only a different value is in doubt. Before that the exchange was left open and may
    // have taken a later byte for the value.
    const uint8_t sent = static_cast<uint8_t>(*r.Value);
    if (*stop >= SetValueAnswerOfValue - 1) {
      if (sent != state.Values[k])
        state.Uncertain[k] = true;
      state.Values[k] = sent;
    } else {
      state.Uncertain[k] = true;
    }
  }
  state.LastRecord = record;
}

} // namespace

bool TReplayedStation::AnyUncertain() const {
  return std::any_of(Uncertain.begin(), Uncertain.end(), [](bool u) { return u; });
}

bool SessionInterrupted(const std::vector<TJournalRow> &records, const QString &session) {
  bool connected = false;
  for (const TJournalRow &r : records) {
    if (r.Session != session)
      continue;
    if (Is(r.Operation, JournalOp::Disconnect))
      return false;
    // A connect the station never answered opened nothing that could end.
    if (!Is(r.Operation, JournalOp::Connect) || r.Outcome == TJournalOutcome::Ok)
      connected = true;
  }
  return connected;
}

TReplayedStation ReplayStation(const std::vector<TJournalRow> &records) {
  TReplayedStation state;
  for (size_t i = 0; i < records.size(); ++i) {
    const TJournalRow &r = records[i];
    const int record = static_cast<int>(i);
    // Leaving a session that never ended: whatever happened after its last record is unknown.
    if (i > 0 && records[i - 1].Session != r.Session && SessionInterrupted(records, records[i - 1].Session))
      AllUncertain(state);
    if (JournalOp::HoldsAllValues(r.Operation)) {
      const auto values = params::StrictSeriesValues(r.Series.toLatin1().toStdString());
      if (!values)
        continue; // a read that brought no set, or a damaged series: nothing learned
      if (Is(r.Operation, JournalOp::ReadAll)) {
        // A read changes nothing in the station; whatever it brought whole is what it holds.
        ApplyFullSet(state, *values, record);
        if (r.Outcome == TJournalOutcome::Ok) {
          state.StoredModelIndex = ModelIndexOf(JournalDetailOf(r.Detail).Own);
          state.ModelRecord = state.StoredModelIndex ? record : -1;
        }
      } else if (r.Outcome == TJournalOutcome::Ok) {
        ApplyFullSet(state, *values, record);
      } else if (const auto answers = AnswersBeforeStop(JournalDetailOf(r.Detail))) {
        ApplyCutWrite(state, *values, *answers, record);
      } else {
        ApplyCutWrite(state, *values, static_cast<int>(values->size()), record);
      }
    } else if (Is(r.Operation, JournalOp::SetValue)) {
      ApplySetValue(state, r, record);
    } else if (Is(r.Operation, JournalOp::Model) && r.Outcome == TJournalOutcome::Ok && r.Value) {
      // "Ok" stored this index in the station, which a later read answers.
      state.StoredModelIndex = *r.Value;
      state.ModelRecord = record;
    }
  }
  if (!records.empty() && SessionInterrupted(records, records.back().Session)) {
    state.Interrupted = true;
    AllUncertain(state);
  }
  return state;
}
