#include "journal/JournalRecord.h"

namespace {

struct TOutcomeWord {
  TJournalOutcome Outcome;
  const char *Word;
};

constexpr TOutcomeWord OutcomeWords[] = {
    {TJournalOutcome::Ok, "ok"},
    {TJournalOutcome::LinkLost, "link_lost"},
    {TJournalOutcome::NoRead, "no_read"},
};

} // namespace

const char *OutcomeName(TJournalOutcome outcome) {
  for (const auto &w : OutcomeWords)
    if (w.Outcome == outcome)
      return w.Word;
  // Never written: a row whose outcome is unknown came from elsewhere and is not written back.
  return "";
}

TJournalOutcome OutcomeOf(const QString &word) {
  for (const auto &w : OutcomeWords)
    if (word == QLatin1String(w.Word))
      return w.Outcome;
  return TJournalOutcome::Unknown;
}
