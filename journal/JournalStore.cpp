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

TJournalEnding TJournalStore::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopWriting_ = true;
  }
  writeWake_.notify_all();
  if (writer_.joinable())
    writer_.join();
  {
    std::lock_guard lock(mutex_);
    stopCopying_ = true;
  }
  copyWake_.notify_all();
  if (copier_.joinable())
    copier_.join();
  std::lock_guard lock(mutex_);
  return ending_;
}

void TJournalStore::WriteLoop() {
  TLocalJournal local(settings_.LocalFile, connectionPrefix_ + QStringLiteral("-writer"));
  TBackoff backoff(settings_.RetryFirst, settings_.RetryMost);
  std::vector<TJournalRow> pending; // taken from the queue, not yet in the file
  bool failing = false, told = false;
  Clock::time_point retryAt{};
  QString why;
  std::unique_lock lock(mutex_);
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
    bool tell = false;
    lock.lock();
    if (ok) {
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
      tell = !told;
      told = true;
      ending_.Why = why;
    }
    if (tell) {
      lock.unlock();
      Tell(LocalFailureMessage(settings_.LocalFile, why));
      lock.lock();
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
    Tell(FactoryFailureMessage(settings_.FactoryUri, error, settings_.LocalFile));
    std::lock_guard lock(mutex_);
    ending_.Unsent = -1;
    return;
  }
  if (server->HadPassword)
    Tell(FactoryFailureMessage(server->Display,
                               QStringLiteral("пароль в файле настроек не используется; он хранится в ~/.pgpass"),
                               settings_.LocalFile));
  TFactoryCopy copy(settings_.LocalFile, *server, connectionPrefix_ + QStringLiteral("-copy"));
  TBackoff backoff(settings_.RetryFirst, settings_.RetryMost);
  bool failing = false, told = false;
  Clock::time_point retryAt{};
  std::unique_lock lock(mutex_);
  for (;;) {
    if (failing)
      copyWake_.wait_until(lock, retryAt, [this] { return stopCopying_; });
    else
      copyWake_.wait(lock, [this] { return stopCopying_ || copyDue_; });
    const bool last = stopCopying_;
    // At the end only a copy over a working connection is finished; the rest waits in the file
    // for the next run, so that closing the window never waits for an absent server.
    if (last && (failing || !copy.ServerConnected()))
      break;
    copyDue_ = false;
    lock.unlock();
    QString why;
    const auto result = copy.CopyPending(why);
    bool tell = false;
    lock.lock();
    if (result == TFactoryCopy::Copied) {
      failing = false;
      backoff.Reset();
    } else {
      failing = true;
      retryAt = backoff.Next();
      // A local failure is the writer's to tell; the server's is told here.
      tell = result == TFactoryCopy::ServerFailed && !told;
      told = told || tell;
    }
    if (tell) {
      lock.unlock();
      Tell(FactoryFailureMessage(server->Display, why, settings_.LocalFile));
      lock.lock();
    }
    if (last)
      break;
  }
  lock.unlock();
  const long long unsent = copy.Unsent();
  lock.lock();
  ending_.Unsent = unsent;
}
