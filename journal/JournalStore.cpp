#include "journal/JournalStore.h"

#include "journal/FactoryCopy.h"
#include "journal/JournalFailure.h"
#include "journal/LocalJournal.h"

#include <QUuid>

#include <algorithm>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Tries again after first, then twice as long each time, up to most.
class TBackoff {
public:
  TBackoff(std::chrono::milliseconds first, std::chrono::milliseconds most) : first_(first), most_(most), next_(first) {}
  Clock::time_point Next() {
    const auto at = Clock::now() + next_;
    next_ = std::min(next_ * 2, most_);
    return at;
  }
  void Reset() { next_ = first_; }

private:
  std::chrono::milliseconds first_, most_, next_;
};

} // namespace

TJournalStore::TJournalStore(TJournalSettings settings)
    : settings_(std::move(settings)),
      connectionPrefix_(QStringLiteral("kstune-journal-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
  writer_ = std::thread([this] { WriteLoop(); });
  if (!settings_.FactoryUri.isEmpty())
    copier_ = std::thread([this] { CopyLoop(); });
}

TJournalStore::~TJournalStore() { Stop(); }

void TJournalStore::Push(TJournalRow row) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(row));
    ++pushed_;
  }
  writeWake_.notify_one();
}

bool TJournalStore::WaitWritten(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return written_.wait_for(lock, timeout, [this] { return writtenCount_ == pushed_; });
}

void TJournalStore::Tell(const QString &message) {
  if (settings_.Tell)
    settings_.Tell(message);
}

namespace {

// The reason without the words of SQLite or the server after it: one kind of failure.
QString KindOf(const QString &why) { return why.left(why.indexOf(QStringLiteral(" ("))); }

} // namespace

void TJournalStore::Failed(const QString &target, const QString &kind, const QString &message) {
  {
    std::lock_guard lock(tellMutex_);
    const QString key = target + QLatin1Char(' ') + kind;
    if (std::find(toldKinds_.begin(), toldKinds_.end(), key) != toldKinds_.end())
      return;
    toldKinds_.push_back(key);
    if (std::find(failingNow_.begin(), failingNow_.end(), target) == failingNow_.end())
      failingNow_.push_back(target);
  }
  Tell(message);
}

void TJournalStore::Recovered(const QString &target, const QString &message) {
  {
    std::lock_guard lock(tellMutex_);
    const auto failing = std::find(failingNow_.begin(), failingNow_.end(), target);
    if (failing == failingNow_.end())
      return;
    failingNow_.erase(failing);
    if (std::find(toldEnds_.begin(), toldEnds_.end(), target) != toldEnds_.end())
      return;
    toldEnds_.push_back(target);
  }
  Tell(message);
}

TJournalEnding TJournalStore::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopWriting_ = true;
  }
  writeWake_.notify_all();
  if (writer_.joinable())
    writer_.join();
  {
    std::unique_lock lock(mutex_);
    if (!stopCopying_)
      copyUntil_ = Clock::now() + settings_.ExitWait;
    stopCopying_ = true;
    copyWake_.notify_all();
    // A copy under way may finish within ExitWait; then every wait on the server is cut short.
    if (copier_.joinable() && !copierEnded_.wait_until(lock, copyUntil_, [this] { return copierDone_; }))
      interrupt_.Fire();
  }
  if (copier_.joinable())
    copier_.join();
  std::lock_guard lock(mutex_);
  return ending_;
}

void TJournalStore::WriteLoop() {
  TLocalJournal local(settings_.LocalFile, connectionPrefix_ + QStringLiteral("-writer"));
  TBackoff backoff(settings_.RetryFirst, settings_.RetryMost);
  std::vector<TJournalRow> pending; // taken from the queue, not yet in the file
  bool failing = false;
  Clock::time_point retryAt{};
  QString why;
  // What an earlier run left is there to copy before anything is written in this one.
  local.OpenExisting();
  if (const QString moved = local.TakeMovedAside(); !moved.isEmpty())
    Tell(moved);
  std::unique_lock lock(mutex_);
  auto publish = [&] {
    if (const auto file = local.OpenFile(); file != TLocalJournal::TFileKey{} && writerFile_ != file) {
      writerFile_ = file;
      copyWake_.notify_all();
    }
  };
  publish();
  for (;;) {
    if (failing)
      writeWake_.wait_until(lock, retryAt, [this] { return stopWriting_; });
    else
      writeWake_.wait(lock, [this] { return stopWriting_ || !queue_.empty(); });
    const bool last = stopWriting_;
    while (!queue_.empty()) {
      pending.push_back(std::move(queue_.front()));
      queue_.pop_front();
    }
    lock.unlock();
    const bool ok = pending.empty() || local.Append(pending, why);
    if (const QString moved = local.TakeMovedAside(); !moved.isEmpty())
      Tell(moved);
    if (ok && failing)
      Recovered(QStringLiteral("local"), LocalRecoveredMessage(settings_.LocalFile));
    else if (!ok)
      Failed(QStringLiteral("local"), KindOf(why), LocalFailureMessage(settings_.LocalFile, why));
    lock.lock();
    if (ok) {
      publish();
      writtenCount_ += static_cast<long long>(pending.size());
      if (!pending.empty())
        copyDue_ = true;
      pending.clear();
      failing = false;
      backoff.Reset();
      written_.notify_all();
      copyWake_.notify_all();
    } else {
      failing = true;
      retryAt = backoff.Next();
      ending_.Why = why;
    }
    if (last)
      break;
  }
  ending_.Lost = static_cast<long long>(pending.size() + queue_.size());
}

void TJournalStore::CopyLoop() {
  QString error;
  const auto server = ParseFactoryUri(settings_.FactoryUri, error);
  if (!server) {
    Failed(QStringLiteral("server"), error, FactoryFailureMessage(settings_.FactoryUri, error, settings_.LocalFile));
    std::lock_guard lock(mutex_);
    ending_.Unsent = -1;
    copierDone_ = true;
    copierEnded_.notify_all();
    return;
  }
  if (server->HadPassword)
    Tell(FactoryFailureMessage(server->Display,
                               QStringLiteral("пароль в файле настроек не используется; он хранится в ~/.pgpass"),
                               settings_.LocalFile));
  TFactoryCopy copy(settings_.LocalFile, *server, connectionPrefix_ + QStringLiteral("-copy"), interrupt_);
  TBackoff backoff(settings_.RetryFirst, settings_.RetryMost);
  bool failing = false, checked = false;
  Clock::time_point retryAt{};
  std::unique_lock lock(mutex_);
  for (;;) {
    if (failing)
      copyWake_.wait_until(lock, retryAt, [this] { return stopCopying_; });
    else
      copyWake_.wait(lock, [this] { return stopCopying_ || (copyDue_ && writerFile_); });
    const bool last = stopCopying_;
    const Clock::time_point until = copyUntil_;
    // At the end only a copy over a working connection goes on, and only until ExitWait: the
    // rest waits in the file for the next run, so that closing never waits for the server.
    if (last && (failing || !copy.ServerConnected()))
      break;
    copyDue_ = false;
    copy.WriterFile(writerFile_);
    lock.unlock();
    TFactoryFailure failure;
    auto result = TFactoryCopy::Copied;
    long long resent = 0;
    // Once a run, before the new records: what the server lost since it had it goes again.
    if (!checked && !last)
      result = copy.CheckRecent(failure, resent);
    checked = checked || result == TFactoryCopy::Copied;
    if (result == TFactoryCopy::Copied)
      result = copy.CopyPending(failure, until);
    for (const auto &refusal : copy.TakeRefused())
      Failed(QStringLiteral("refused"), refusal.SqlState,
             RefusedRowMessage(server->Display, refusal.Id, refusal.Why, settings_.LocalFile, copy.RefusedCount()));
    if (resent > 0)
      Tell(ResentMessage(server->Display, resent));
    if (result == TFactoryCopy::Copied)
      Recovered(QStringLiteral("server"), FactoryRecoveredMessage(server->Display));
    else if (result == TFactoryCopy::ServerFailed && !interrupt_.Fired())
      // A local failure is the writer's to tell; the server's is told here.
      Failed(QStringLiteral("server"), failure.Kind(),
             FactoryFailureMessage(server->Display, failure.Why, settings_.LocalFile));
    lock.lock();
    if (result == TFactoryCopy::Copied) {
      failing = false;
      backoff.Reset();
    } else {
      failing = true;
      retryAt = backoff.Next();
    }
    if (last)
      break;
  }
  lock.unlock();
  // The writer has ended: whatever file is there now is whole.
  copy.WriterFile(std::nullopt);
  const long long unsent = copy.Unsent();
  const long long refused = copy.RefusedCount();
  lock.lock();
  ending_.Unsent = unsent;
  ending_.Refused = std::max(refused, 0LL);
  copierDone_ = true;
  copierEnded_.notify_all();
}
