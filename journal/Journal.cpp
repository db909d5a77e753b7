#include "journal/Journal.h"

#include "journal/JournalDetail.h"
#include "journal/JournalFailure.h"
#include "os/ThisSystem.h"

#include <QDateTime>
#include <QUuid>

#include <exception>

namespace {

QString OperatorName() {
  const std::string login = LoginName();
  return login.empty() ? qEnvironmentVariable("USER") : QString::fromLocal8Bit(login.c_str());
}

TJournalEntry EntryOf(const char *operation, std::optional<int> value, const QString &detail) {
  TJournalEntry entry;
  entry.Operation = QString::fromLatin1(operation);
  entry.Value = value;
  entry.Detail = detail;
  return entry;
}

QString NewUuid() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

} // namespace

TJournal::TJournal() : bench_(QString::fromLocal8Bit(HostName().c_str())), operator_(OperatorName()) {}

TJournal::~TJournal() { Stop(); }

TJournal &Journal() {
  static TJournal journal;
  return journal;
}

void TJournal::Start(TJournalSettings settings) {
  Stop();
  store_ = std::make_unique<TJournalStore>(std::move(settings));
}

TJournalEnding TJournal::Stop() {
  if (!store_)
    return {};
  const TJournalEnding ending = store_->Stop();
  store_.reset();
  return ending;
}

bool TJournal::WaitWritten(std::chrono::milliseconds timeout) { return !store_ || store_->WaitWritten(timeout); }

TJournalNote TJournal::Connecting(const QString &port, const std::string &modelCode) {
  // Connecting again after the link was lost ends the old session, or it would look cut off.
  SessionEnded(TSessionEnd::Reconnected);
  session_ = NewUuid();
  seq_ = 0;
  serial_.clear();
  port_ = port;
  model_ = QString::fromStdString(modelCode);
  return TJournalNote(JournalOp::Connect);
}

void TJournal::Disconnected() {
  Append(EntryOf(JournalOp::Disconnect, std::nullopt, {}));
  // Whatever happens after it belongs to no connection.
  session_.clear();
  connected_ = false;
}

void TJournal::SessionEnded(TSessionEnd how) {
  if (!connected_)
    return;
  Append(EntryOf(JournalOp::Disconnect, std::nullopt, SessionEndDetail(how)));
  session_.clear();
  connected_ = false;
}

TJournalNote TJournal::ModelStoring(int index, const std::string &modelCode) {
  model_ = QString::fromStdString(modelCode);
  return TJournalNote(JournalOp::Model, std::nullopt, index & 0xFF);
}

void TJournal::ReportOpened(const std::string &path) { reportFile_ = QString::fromStdString(path); }

void TJournal::ReportWritten(int row) {
  Append(EntryOf(JournalOp::Report, std::nullopt, QStringLiteral("%1, строка %2").arg(reportFile_).arg(row)));
}

void TJournal::Append(TJournalEntry entry) {
  if (!store_)
    return;
  if (session_.isEmpty()) {
    session_ = NewUuid();
    seq_ = 0;
  }
  if (JournalOp::Is(entry.Operation, JournalOp::Serial) && entry.Outcome == TJournalOutcome::Ok)
    serial_ = entry.Detail;
  if (JournalOp::Is(entry.Operation, JournalOp::Connect))
    connected_ = entry.Outcome == TJournalOutcome::Ok;
  TJournalRow row;
  row.Id = NewUuid();
  row.At = QDateTime::currentDateTimeUtc();
  row.Seq = ++seq_;
  row.Session = session_;
  row.Bench = bench_;
  row.Operator = operator_;
  row.Port = port_.isEmpty() ? QString() : port_;
  row.Model = model_.isEmpty() ? QString() : model_;
  row.Serial = serial_.isEmpty() ? QString() : serial_;
  static_cast<TJournalEntry &>(row) = std::move(entry);
  store_->Push(std::move(row));
}

void TJournal::AnswerCame() {
  if (!notes_.empty())
    ++notes_.back()->received_;
}

void TJournal::AnswerMissing() {
  if (!notes_.empty() && !notes_.back()->missingAt_)
    notes_.back()->missingAt_ = notes_.back()->received_ + 1;
}

void TJournal::StaleBytesDropped(int count) {
  if (count <= 0)
    return;
  if (notes_.empty())
    staleWithoutNote_ += count; // counted towards the operation that follows
  else
    notes_.back()->stale_ += count;
}

void TJournal::Close(TJournalNote &note) {
  TJournalEntry entry = std::move(note.Entry);
  const bool broken = std::uncaught_exceptions() > note.exceptionsAtStart_;
  TJournalDetail detail;
  detail.Own = entry.Detail;
  if (note.missingAt_) {
    // A read-all whose block of 34 values stopped short is "no read"; any other missing byte
    // is a lost link, at that byte of what the station was to send.
    if (JournalOp::Is(entry.Operation, JournalOp::ReadAll) && *note.missingAt_ <= ReadAllBlock) {
      entry.Outcome = TJournalOutcome::NoRead;
      entry.Series.clear();
      detail.ValuesReceived = *note.missingAt_ - 1;
    } else {
      entry.Outcome = TJournalOutcome::LinkLost;
      detail.MissingAnswer = *note.missingAt_;
    }
  } else if (broken && !note.done_) {
    entry.Outcome = TJournalOutcome::LinkLost;
    detail.BrokenAfter = note.received_;
  }
  detail.StaleBytes = note.stale_;
  entry.Detail = JournalDetailText(detail);
  Append(std::move(entry));
}

TJournalNote::TJournalNote(const char *operation, std::optional<int> parameter, std::optional<int> value,
                           QString series)
    : Entry(EntryOf(operation, value, {})), exceptionsAtStart_(std::uncaught_exceptions()) {
  Entry.Parameter = parameter;
  Entry.Series = std::move(series);
  TJournal &journal = Journal();
  stale_ = journal.staleWithoutNote_;
  journal.staleWithoutNote_ = 0;
  journal.notes_.push_back(this);
}

TJournalNote::~TJournalNote() {
  TJournal &journal = Journal();
  std::erase(journal.notes_, this);
  if (done_)
    return;
  const bool broken = std::uncaught_exceptions() > exceptionsAtStart_;
  if (!missingAt_ && !broken)
    return; // refused before anything reached the station
  try {
    journal.Close(*this);
  } catch (...) {
    // Never out of a destructor: losing this one record is the lesser harm.
  }
}

void TJournalNote::Done(const QString &detail) {
  if (done_)
    return;
  if (!detail.isNull())
    Entry.Detail = detail;
  // Taken off the stack first, so that nothing after the result counts towards it.
  TJournal &journal = Journal();
  std::erase(journal.notes_, this);
  done_ = true;
  journal.Close(*this);
}

void JournalFrontPanel(int byte, const QString &caption) {
  Journal().Append(EntryOf(JournalOp::FrontPanel, byte, caption));
}
