#pragma once
// The `detail` column, written and read in one place. A detail is the operation's own words
// (the DAC bytes, "REFL=n FORW=m", the model index answered, the serial digits, the date, the
// button, the report's file and row, how a session ended), then, joined by "; ", what became of
// the exchange: the answer that did not come, how many of the 34 values came, an error that broke
// it off, the stale bytes thrown away before it.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

struct TJournalDetail {
  QString Own;
  std::optional<int> MissingAnswer;  // "нет ответа на байт N": the Nth byte the station was to send
  std::optional<int> ValuesReceived; // "получено значений: n из 34": a read-all block cut short
  std::optional<int> BrokenAfter;    // "прервано ошибкой после байта N": an error, N answers in
  bool Surplus = false;              // "после блока значений пришли лишние байты"
  int StaleBytes = 0;                // "отброшено устаревших байт: n"
};

// Null when there is nothing to say (stored as NULL).
QString JournalDetailText(const TJournalDetail &detail);
// Any stored detail back; what is not one of the known endings stays in Own.
TJournalDetail JournalDetailOf(const QString &text);

// The values of a read-all block.
inline constexpr int ReadAllBlock = 34;

// A DAC poll: the eight bytes in arrival order, "0C 80 …" (two hex digits each, upper case).
using TDacBytes = std::array<uint8_t, 8>;
QString DacDetail(const TDacBytes &bytes);
std::optional<TDacBytes> DacOf(const QString &own);

// "REFL-FORV": "REFL=n FORW=m".
QString ReflForwDetail(int refl, int forw);
std::optional<std::pair<int, int>> ReflForwOf(const QString &own);

// "Чтение": the model index the station answered, in decimal.
QString ModelIndexDetail(int index);
std::optional<int> ModelIndexOf(const QString &own);

// How a session ended when "Отключиться" was not pressed: the disconnect record's detail. No byte
// goes to the station for any of these.
enum class TSessionEnd { WindowClosed, Sigint, Sigterm, Sighup, Reconnected };
QString SessionEndDetail(TSessionEnd how);
