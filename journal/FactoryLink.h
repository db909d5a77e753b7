#pragma once
// One connection to the factory server, spoken through libpq directly: every wait (connecting,
// sending, the answer) is bounded by a deadline and can be cut short from another thread, so the
// copy never sits in a call it cannot leave and closing kstune never waits for a stuck server.
// Qt's driver blocks inside libpq with no way out, which is why the copy does not use it.
#include "journal/FactoryUri.h"

#include "os/SocketWait.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <optional>
#include <vector>

struct pg_conn;

// A wake-up another thread can give: every wait of the links that share it ends at once, now and
// from then on.
using TFactoryInterrupt = TWakeUp;

// What the server or the way to it said, for the technician and for the copy's decisions.
struct TFactoryFailure {
  QString SqlState; // the server's code, empty when the failure is not the server's answer
  QString Why;      // in Russian, the server's own words after it
  // One word for what kind of failure it is (the code, or "unreachable", "password"), so that a
  // failure that goes on is told once however its words vary.
  QString Kind() const;
  // The server refused the rows themselves (their data), not the bench or the connection.
  bool RowsRefused() const;
  bool NoPassword = false;
};

class TFactoryLink {
public:
  using Clock = std::chrono::steady_clock;

  // Bounds of every connection: a server that stops answering is given up after these.
  static constexpr std::chrono::seconds ConnectTime{5};
  static constexpr std::chrono::seconds StatementTime{10}; // the server's own statement_timeout
  static constexpr std::chrono::seconds AnswerTime{15};    // ours, past the server's

  TFactoryLink(TFactoryUri server, const TFactoryInterrupt &interrupt);
  ~TFactoryLink();
  TFactoryLink(const TFactoryLink &) = delete;
  TFactoryLink &operator=(const TFactoryLink &) = delete;

  bool Connect(TFactoryFailure &failure);
  bool Connected() const { return conn_ != nullptr; }
  void Close();

  // One statement with text parameters ($1, $2 ...; a null QByteArray is NULL). The first column
  // of the rows it returns goes into firstColumn when given. A failure of the connection closes it.
  bool Exec(const QByteArray &sql, const std::vector<QByteArray> &params, TFactoryFailure &failure,
            std::vector<QByteArray> *firstColumn = nullptr);

  // The libpq keywords this connection is opened with (for tests and the guide).
  std::vector<std::pair<QByteArray, QByteArray>> Keywords() const;
  // The one description of how a program of kstune's reaches the factory server: the URI's own
  // keywords over bounded waits (connecting, a dropped network, the server's statement_timeout),
  // under the program's name. The copy to the server and the viewer both connect with these.
  static std::vector<std::pair<QByteArray, QByteArray>>
  ConnectKeywords(const TFactoryUri &server, const char *applicationName, std::chrono::milliseconds statementTime);

private:
  enum class TWait { Ready, TimedOut, Interrupted, Failed };
  TWait WaitSocket(bool forWrite, Clock::time_point deadline);
  void Fail(TFactoryFailure &failure, TWait wait, std::chrono::seconds limit);

  TFactoryUri server_;
  const TFactoryInterrupt &interrupt_;
  pg_conn *conn_ = nullptr;
};

// The Russian reason for a server's SQLSTATE, empty for a code not known here.
QString ReasonOfSqlState(const QString &sqlState);
// The SQLSTATE a connection-time message carries when libpq was asked for verbose errors.
QString SqlStateInMessage(const QString &message);
// Why no password was found: libpq skips a ~/.pgpass that others may read, saying nothing useful.
QString MissingPasswordReason();
