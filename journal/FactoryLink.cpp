#include "journal/FactoryLink.h"

#include "platform/WindowsDirectory.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <libpq-fe.h>


bool TFactoryFailure::RowsRefused() const {
  // Data exceptions and integrity violations: the rows' own content, whatever the connection.
  return SqlState.startsWith(QLatin1String("22")) || SqlState.startsWith(QLatin1String("23"));
}

QString TFactoryFailure::Kind() const {
  if (NoPassword)
    return QStringLiteral("password");
  // A connection lost, refused or timed out is one outage, whichever it was at each try.
  if (SqlState.isEmpty() || SqlState.startsWith(QLatin1String("08")) || SqlState.startsWith(QLatin1String("57P")))
    return QStringLiteral("unreachable");
  return SqlState;
}

QString ReasonOfSqlState(const QString &sqlState) {
  struct Known {
    const char *code; // a full code, or a class of two characters
    const char *why;
  };
  static const Known known[] = {
      {"28P01", "неверный пароль (он берется из ~/.pgpass)"},
      {"28000", "сервер не пускает этого пользователя (нет такой роли или не разрешено в pg_hba.conf)"},
      {"3D000", "на сервере нет такой базы данных"},
      {"42501", "у пользователя нет прав на таблицу journal"},
      {"42P01", "в базе нет таблицы journal"},
      {"42703", "таблица journal на сервере не того вида (нет нужного столбца)"},
      {"57014", "сервер не выполнил запрос вовремя (таблица занята?)"},
      {"55P03", "таблица journal занята"},
      {"53300", "у сервера нет свободных подключений"},
      {"53100", "на сервере нет места на диске"},
      {"25006", "сервер открыт только для чтения"},
      {"57P01", "сервер останавливается"},
      {"57P02", "сервер останавливается"},
      {"57P03", "сервер еще запускается"},
      {"08", "связь с сервером прервалась"},
      {"53", "серверу не хватает ресурсов"},
      {"22", "сервер не принял запись: неверные данные"},
      {"23", "сервер не принял запись: нарушено условие таблицы"},
  };
  for (const auto &k : known)
    if (sqlState == QLatin1String(k.code))
      return QString::fromUtf8(k.why);
  for (const auto &k : known)
    if (std::char_traits<char>::length(k.code) == 2 && sqlState.startsWith(QLatin1String(k.code)))
      return QString::fromUtf8(k.why);
  return {};
}

QString SqlStateInMessage(const QString &message) {
  // Verbose errors put the code after the severity, which is translated: "ВАЖНО:  28P01: ...".
  // A code has a digit, which keeps the severity "FATAL:" itself from passing for one.
  static const QRegularExpression code(QStringLiteral(":\\s+((?=[0-9A-Z]*[0-9])[0-9A-Z]{5}):\\s"));
  const auto match = code.match(message);
  return match.hasMatch() ? match.captured(1) : QString();
}

QString MissingPasswordReason() {
  QString file = qEnvironmentVariable("PGPASSFILE");
  if (file.isEmpty())
    file = QString::fromStdString(HomeDirectory()) + QStringLiteral("/.pgpass");
  const QFileInfo info(file);
  if (!info.exists())
    return QStringLiteral("пароль не найден: нет файла %1").arg(file);
  const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                      QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  if (info.permissions() & others)
    return QStringLiteral("файл %1 доступен не только владельцу, и такой файл не читается; "
                          "нужно: chmod 600 %1")
        .arg(file);
  return QStringLiteral("пароль для этого сервера и пользователя не найден в %1").arg(file);
}

TFactoryLink::TFactoryLink(TFactoryUri server, const TFactoryInterrupt &interrupt)
    : server_(std::move(server)), interrupt_(interrupt) {}

TFactoryLink::~TFactoryLink() { Close(); }

void TFactoryLink::Close() {
  if (!conn_)
    return;
  // Cut first: PQfinish says goodbye to the server, which must not wait on a stuck one.
  if (const int fd = PQsocket(conn_); fd >= 0)
    CutSocket(fd);
  PQfinish(conn_);
  conn_ = nullptr;
}

std::vector<std::pair<QByteArray, QByteArray>> TFactoryLink::Keywords() const {
  return ConnectKeywords(server_, "kstune", StatementTime);
}

std::vector<std::pair<QByteArray, QByteArray>>
TFactoryLink::ConnectKeywords(const TFactoryUri &server, const char *applicationName,
                              std::chrono::milliseconds statementTime) {
  using std::chrono::duration_cast;
  using std::chrono::milliseconds;
  std::vector<std::pair<QByteArray, QByteArray>> keywords = {
      {"host", server.Host.toUtf8()},
      {"dbname", server.Database.toUtf8()},
      {"user", server.User.toUtf8()},
      {"application_name", applicationName},
      {"connect_timeout", QByteArray::number(static_cast<long long>(ConnectTime.count()))},
      // A dropped network is noticed within seconds, not at the kernel's limit of a quarter hour.
      {"keepalives", "1"},
      {"keepalives_idle", "5"},
      {"keepalives_interval", "2"},
      {"keepalives_count", "3"},
      {"tcp_user_timeout", QByteArray::number(static_cast<long long>(duration_cast<milliseconds>(AnswerTime).count()))},
  };
  if (server.Port > 0)
    keywords.emplace_back("port", QByteArray::number(server.Port));
  // A lock held on the table ends our statement on the server's side too.
  QByteArray options = "-c statement_timeout=" + QByteArray::number(static_cast<long long>(statementTime.count()));
  for (const auto &[key, value] : server.Keywords) {
    if (key == QLatin1String("options")) {
      options += ' ' + value.toUtf8();
      continue;
    }
    bool replaced = false;
    for (auto &keyword : keywords)
      if (keyword.first == key.toUtf8()) {
        keyword.second = value.toUtf8();
        replaced = true;
      }
    if (!replaced)
      keywords.emplace_back(key.toUtf8(), value.toUtf8());
  }
  keywords.emplace_back("options", options);
  std::erase_if(keywords, [](const auto &keyword) { return keyword.second.isEmpty(); });
  return keywords;
}

TFactoryLink::TWait TFactoryLink::WaitSocket(bool forWrite, Clock::time_point deadline) {
  for (;;) {
    if (interrupt_.Fired())
      return TWait::Interrupted;
    const int fd = PQsocket(conn_);
    if (fd < 0)
      return TWait::Failed;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return TWait::TimedOut;
    switch (::WaitSocket(fd, forWrite, static_cast<int>(std::min<long long>(left, 1000)), interrupt_)) {
    case TSocketWait::Ready:
      return TWait::Ready;
    case TSocketWait::WokenUp:
      return TWait::Interrupted;
    case TSocketWait::Failed:
      return TWait::Failed;
    case TSocketWait::TimedOut:
      break;
    }
  }
}

void TFactoryLink::Fail(TFactoryFailure &failure, TWait wait, std::chrono::seconds limit) {
  switch (wait) {
  case TWait::TimedOut:
    failure.Why = QStringLiteral("сервер не ответил за %1 с").arg(static_cast<long long>(limit.count()));
    break;
  case TWait::Interrupted:
    failure.Why = QStringLiteral("передача прервана: kstune закрывается");
    break;
  default:
    failure.Why = QStringLiteral("связь с сервером прервалась");
    break;
  }
  failure.SqlState.clear();
  Close();
}

bool TFactoryLink::Connect(TFactoryFailure &failure) {
  Close();
  failure = {};
  std::vector<std::pair<QByteArray, QByteArray>> keywords = Keywords();
  std::vector<const char *> keys, values;
  for (const auto &[key, value] : keywords) {
    keys.push_back(key.constData());
    values.push_back(value.constData());
  }
  keys.push_back(nullptr);
  values.push_back(nullptr);
  conn_ = PQconnectStartParams(keys.data(), values.data(), 0);
  if (!conn_) {
    failure.Why = QStringLiteral("нет памяти для подключения");
    return false;
  }
  // The server's code goes into its messages: what it means is told by the code, not by words
  // that the server's language decides.
  PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
  const auto deadline = Clock::now() + ConnectTime;
  PostgresPollingStatusType state = PQstatus(conn_) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
  while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
    const TWait wait = WaitSocket(state == PGRES_POLLING_WRITING, deadline);
    if (wait != TWait::Ready) {
      Fail(failure, wait, ConnectTime);
      return false;
    }
    state = PQconnectPoll(conn_);
  }
  if (state == PGRES_POLLING_OK && PQsetnonblocking(conn_, 1) == 0)
    return true;
  const QString full = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
  // The first line says it; the rest is where in the server's sources it was said.
  const QString message = full.section(QLatin1Char('\n'), 0, 0).trimmed();
  failure.SqlState = SqlStateInMessage(full);
  if (failure.SqlState.isEmpty() && PQconnectionNeedsPassword(conn_)) {
    failure.NoPassword = true;
    failure.Why = MissingPasswordReason();
  }
  else if (const QString why = ReasonOfSqlState(failure.SqlState); !why.isEmpty())
    failure.Why = why + QStringLiteral(" (") + message + QLatin1Char(')');
  else
    failure.Why = QStringLiteral("сервер недоступен (") + message + QLatin1Char(')');
  Close();
  return false;
}

bool TFactoryLink::Exec(const QByteArray &sql, const std::vector<QByteArray> &params, TFactoryFailure &failure,
                        std::vector<QByteArray> *firstColumn) {
  failure = {};
  if (!conn_) {
    failure.Why = QStringLiteral("нет подключения к серверу");
    return false;
  }
  std::vector<const char *> values;
  values.reserve(params.size());
  for (const QByteArray &param : params)
    values.push_back(param.isNull() ? nullptr : param.constData());
  const auto deadline = Clock::now() + AnswerTime;
  if (!PQsendQueryParams(conn_, sql.constData(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                         nullptr, 0)) {
    Fail(failure, TWait::Failed, AnswerTime);
    return false;
  }
  // Sending: a big batch may not fit the socket at once; the server's answers are taken meanwhile.
  for (int flushed; (flushed = PQflush(conn_)) != 0;) {
    if (flushed < 0) {
      Fail(failure, TWait::Failed, AnswerTime);
      return false;
    }
    const TWait wait = WaitSocket(true, deadline);
    if (wait != TWait::Ready) {
      Fail(failure, wait, AnswerTime);
      return false;
    }
    if (!PQconsumeInput(conn_)) {
      Fail(failure, TWait::Failed, AnswerTime);
      return false;
    }
  }
  bool ok = true;
  for (;;) {
    while (PQisBusy(conn_)) {
      const TWait wait = WaitSocket(false, deadline);
      if (wait != TWait::Ready || !PQconsumeInput(conn_)) {
        Fail(failure, wait == TWait::Ready ? TWait::Failed : wait, AnswerTime);
        return false;
      }
    }
    PGresult *result = PQgetResult(conn_);
    if (!result)
      break;
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK && firstColumn)
      for (int row = 0; row < PQntuples(result); ++row)
        firstColumn->emplace_back(PQgetvalue(result, row, 0));
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && ok) {
      ok = false;
      failure.SqlState = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
      const QString primary = QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)).trimmed();
      const QString why = ReasonOfSqlState(failure.SqlState);
      if (failure.SqlState.isEmpty())
        failure.Why = QStringLiteral("связь с сервером прервалась (") +
                      QString::fromUtf8(PQresultErrorMessage(result)).trimmed() + QLatin1Char(')');
      else
        failure.Why = why.isEmpty() ? QStringLiteral("ошибка сервера %1 (%2)").arg(failure.SqlState, primary)
                                  : why + QStringLiteral(" (") + failure.SqlState + QStringLiteral(": ") + primary +
                                        QLatin1Char(')');
    }
    PQclear(result);
  }
  if (!ok && PQstatus(conn_) == CONNECTION_BAD)
    Close();
  else if (ok && PQstatus(conn_) == CONNECTION_BAD) {
    Fail(failure, TWait::Failed, AnswerTime);
    return false;
  }
  return ok;
}
