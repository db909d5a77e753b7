#include "station/SimStation.h"

#include "station/ComLink.h"
#include "station/PseudoTerminal.h"
#include "station/StationError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// A line with nobody reading it must not grow the station without bound.
constexpr std::size_t MaxQueued = 64 * 1024;

timespec Until(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::max(deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration::zero());
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

} // namespace

TSimStation::TSimStation() = default;

TSimStation::~TSimStation() { Stop(); }

void TSimStation::Start(const TStationOptions &options) {
  std::unique_lock lock(mutex_);
  if (thread_.joinable())
    throw TStationError("kstune-station: the station is already serving");
  auto pty = std::make_unique<TPseudoTerminal>();
  std::unique_ptr<TComLink> link;
  if (options.ComNumber > 0)
    link = std::make_unique<TComLink>(options.ComNumber, pty->SlavePath());
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw TStationError(std::string("kstune-station: cannot create a pipe: ") + std::strerror(errno));
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
  pty_ = std::move(pty);
  link_ = std::move(link);
  pace_ = options.Pace;
  if (options.Log)
    log_ = options.Log;
  stopRequested_ = hangUpRequested_ = hungUp_ = writeBlocked_ = false;
  outbound_.clear();
  received_.clear();
  sent_.clear();
  errors_.clear();
  early_.clear();
  parser_.Abandon();
  exchangeNote_.clear();
  lastActivity_ = Clock::now();
  thread_ = std::thread(&TSimStation::Run, this);
}

void TSimStation::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable())
      return;
    stopRequested_ = true;
    Wake();
  }
  thread_.join();
  std::lock_guard lock(mutex_);
  pty_.reset();
  link_.reset(); // removes the link if it is still ours
  ::close(wakeRead_);
  ::close(wakeWrite_);
  wakeRead_ = wakeWrite_ = -1;
  changed_.notify_all();
}

// Called with the lock held, so the pipe cannot be closed meanwhile.
void TSimStation::Wake() const {
  if (wakeWrite_ >= 0) {
    const char b = 1;
    // A full pipe already holds a wake-up; nothing is lost by ignoring the result.
    [[maybe_unused]] auto n = ::write(wakeWrite_, &b, 1);
  }
}

void TSimStation::Run() {
  // Pacing wants waits accurate to well under a millisecond.
  ::prctl(PR_SET_TIMERSLACK, 1UL);
  std::unique_lock lock(mutex_);
  while (!stopRequested_) {
    if (hangUpRequested_)
      DoHangUp();
    // Clients first: a client's open is queued before anything it writes, and must be known
    // before anything is sent.
    CheckClients();
    auto now = Clock::now();
    if (parser_.MidExchange() && outbound_.empty() && now - lastActivity_ >= ExchangeTimeout)
      pendingLog_.push_back(parser_.Abandon());
    WriteDue(now);

    std::optional<Clock::time_point> deadline;
    const auto earliest = [&](Clock::time_point t) { deadline = deadline ? std::min(*deadline, t) : t; };
    if (!outbound_.empty() && !writeBlocked_ && pty_->IsOpen())
      earliest(NextWrite());
    if (parser_.MidExchange())
      earliest(lastActivity_ + ExchangeTimeout);

    pollfd fds[3] = {{wakeRead_, POLLIN, 0}, {pty_->Master(), POLLIN, 0}, {pty_->Watch(), POLLIN, 0}};
    if (writeBlocked_)
      fds[1].events |= POLLOUT;
    const nfds_t count = !pty_->IsOpen() ? 1 : pty_->Watch() >= 0 ? 3 : 2;
    std::vector<std::string> lines;
    lines.swap(pendingLog_);
    const auto log = log_;
    lock.unlock();
    if (log)
      for (const auto &line : lines)
        log(line);
    timespec timeout{};
    if (deadline)
      timeout = Until(*deadline);
    ::ppoll(fds, count, deadline ? &timeout : nullptr, nullptr);
    lock.lock();
    if (fds[0].revents & POLLIN) {
      char drain[64];
      while (::read(wakeRead_, drain, sizeof drain) > 0) {
      }
    }
    if (count >= 2 && pty_->IsOpen()) {
      if (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))
        writeBlocked_ = false;
      if (fds[1].revents & (POLLIN | POLLERR | POLLHUP))
        ReadMaster(Clock::now());
    }
  }
  std::vector<std::string> lines;
  lines.swap(pendingLog_);
  const auto log = log_;
  lock.unlock();
  if (log)
    for (const auto &line : lines)
      log(line);
}

void TSimStation::ReadMaster(Clock::time_point now) {
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[256];
  for (;;) {
    const ssize_t n = ::read(pty_->Master(), buffer, sizeof buffer);
    if (n > 0) {
      bytes.insert(bytes.end(), buffer, buffer + n);
      if (bytes.size() < MaxQueued)
        continue;
      break;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno == EAGAIN)
      break;
    // The master has failed under us (it should not while we hold the slave): treat it as unplugged
    // rather than spin on a descriptor that is always ready.
    pendingLog_.push_back(std::string("line failed: ") + (n == 0 ? "end of file" : std::strerror(errno)));
    DoHangUp();
    return;
  }
  // A client that wrote these bytes had opened the port before it wrote them, so its open is
  // among the events now: a close before it drops only what was meant for the client that left.
  CheckClients();
  for (const auto byte : bytes) {
    // Paced, a byte has arrived only when its stop bit has, and bytes queue up behind each other.
    // It is served at once with that arrival time, its answer scheduled from there: one timed
    // wait per exchange instead of two keeps the station's own lateness out of the wire time.
    Clock::time_point at = now;
    if (LineTimed()) {
      at = std::max(now, rxLineFree_) + StationProtocol::ByteTime;
      rxLineFree_ = at;
    }
    Serve(byte, at);
  }
}

void TSimStation::Serve(std::uint8_t byte, Clock::time_point at) {
  if (std::any_of(outbound_.begin(), outbound_.end(), [](const TOutByte &out) { return out.Kind == TOutKind::Answer; })) {
    early_.push_back(byte);
    pendingLog_.push_back(HexBytes({byte}) + "  sent before the station's answer to the byte before");
  }
  received_.push_back({byte, at});
  lastActivity_ = std::max(lastActivity_, at);
  changed_.notify_all();

  std::vector<std::string> violations = LineViolations();
  const bool handshake = !parser_.MidExchange() && byte == StationProtocol::Connect;
  TParseResult r = parser_.Feed(byte, state_);
  violations.insert(violations.end(), r.Errors.begin(), r.Errors.end());
  NoteViolations(violations);

  const bool muted = CountAnswer();
  std::string note;
  std::size_t awaited = 0;
  if (!r.Reply.empty())
    note = muted ? Silence(r.Reply) : Distort(r, awaited);
  if (echo_)
    Echo(byte, at);
  // The handshake's answer always takes its time on the wire, untimed line or not: heard, then
  // sent, two byte times after the tool sent it. It is the answer the tool tells from an
  // adapter's echo (back after one byte time) by when it comes.
  const auto turnaround = handshake && !LineTimed() ? 2 * StationProtocol::ByteTime : Clock::duration::zero();
  for (std::size_t i = 0; i < r.Reply.size(); ++i)
    if (outbound_.size() < MaxQueued)
      outbound_.push_back({r.Reply[i], at + turnaround + delay_ + static_cast<long>(i) * gap_,
                           i < awaited ? TOutKind::Answer : TOutKind::Reply});
  NoteExchange(note, r.Log);
}

// The line is checked where a byte opens an exchange: a tool that talks on a wrong line setting
// would garble every byte on a real wire, so it is a violation however the bytes look here.
std::vector<std::string> TSimStation::LineViolations() const {
  if (parser_.MidExchange())
    return {};
  const std::string line = pty_->ClientLine();
  if (line.empty())
    return {};
  return {"line set to " + line + ", the station talks 1200 8N1"};
}

void TSimStation::NoteViolations(const std::vector<std::string> &violations) {
  errors_.insert(errors_.end(), violations.begin(), violations.end());
  for (const auto &violation : violations)
    pendingLog_.push_back("protocol violation: " + violation);
}

// Counts one byte against StopAnsweringAfter; true once the station has stopped answering.
bool TSimStation::CountAnswer() {
  if (!answersLeft_)
    return false;
  if (*answersLeft_ == 0)
    return true;
  --*answersLeft_;
  return false;
}

// The reply is not sent; returns the note for the exchange's log line.
std::string TSimStation::Silence(std::vector<std::uint8_t> &reply) {
  std::string note = "  [not answered: silent]";
  reply.clear();
  // Without its answer the tool gives the exchange up: so does the station, and the tool's next
  // byte opens a new one.
  GiveUpExchange(note);
  return note;
}

// The reply as the set faults make it; returns the note for the exchange's log line. awaited:
// how many of its first bytes the tool waits for before it sends again.
std::string TSimStation::Distort(TParseResult &r, std::size_t &awaited) {
  std::string note;
  if (r.Block && blockCut_ && *blockCut_ < r.Reply.size()) {
    note += "  [block cut to " + std::to_string(*blockCut_) + " of " + std::to_string(r.Reply.size()) + " bytes]";
    r.Reply.resize(*blockCut_);
  }
  awaited = r.Reply.size();
  if (zeroAnswers_) {
    std::fill(r.Reply.begin(), r.Reply.end(), std::uint8_t{0});
    note += "  [answered with 0]";
  }
  if (doubleAnswers_) {
    const std::vector<std::uint8_t> once = r.Reply;
    r.Reply.insert(r.Reply.end(), once.begin(), once.end());
    note += "  [answered twice]";
  }
  if (sendsLeft_ && *sendsLeft_ < r.Reply.size()) {
    r.Reply.resize(*sendsLeft_);
    note += "  [fell silent in its reply]";
  }
  if (sendsLeft_)
    *sendsLeft_ -= r.Reply.size();
  if (delay_.count() > 0)
    note += "  [answer delayed " + std::to_string(delay_.count()) + " ms]";
  // An answer later than the tool waits finds the exchange given up: so the station gives it up
  // too, and reads the tool's next byte as a new exchange.
  awaited = std::min(awaited, r.Reply.size());
  if (gap_.count() > 0)
    note += "  [bytes " + std::to_string(gap_.count()) + " ms apart]";
  if (delay_ > StationProtocol::AnswerBudget) {
    awaited = 0;
    GiveUpExchange(note);
  }
  return note;
}

// The line gives the tool's byte back as it has crossed, before any reply to it.
void TSimStation::Echo(std::uint8_t byte, Clock::time_point at) {
  if (outbound_.size() >= MaxQueued)
    return;
  outbound_.push_back({byte, at, TOutKind::Echo});
  if (exchangeNote_.find("  [echoed]") == std::string::npos)
    exchangeNote_ += "  [echoed]";
}

// Ends the open exchange, if any, with `note` on its log line; the note is then used up.
void TSimStation::GiveUpExchange(std::string &note) {
  if (!parser_.MidExchange())
    return;
  exchangeNote_ += note;
  pendingLog_.push_back(parser_.Abandon() + exchangeNote_);
  exchangeNote_.clear();
  note.clear();
}

// A note belongs to the exchange that the byte is part of; it is shown on that exchange's line.
void TSimStation::NoteExchange(const std::string &note, const std::vector<std::string> &lines) {
  if (!note.empty() && exchangeNote_.find(note) == std::string::npos)
    exchangeNote_ += note;
  for (auto &line : lines) {
    pendingLog_.push_back(line + exchangeNote_);
    exchangeNote_.clear();
  }
}

// An echo is the tool's byte, timed already by its arrival; what the station sends takes its
// own byte time on a timed line, one byte after the other.
TSimStation::Clock::time_point TSimStation::NextWrite() const {
  const auto &out = outbound_.front();
  if (out.Kind == TOutKind::Echo || !LineTimed())
    return out.Ready;
  return std::max(out.Ready, txLineFree_) + StationProtocol::ByteTime;
}

void TSimStation::CheckClients() {
  if (!pty_->IsOpen() || pty_->Watch() < 0)
    return;
  if (pty_->TakeWatchEvents()) {
    // The port was closed, if only for a moment: what it did not read is gone, as on a real line.
    pty_->DiscardUnread();
    DropUnheard();
    // An exclusivity flag outlives a client killed while it held the port, because this end keeps
    // the line; with no client left it has no holder and would lock every later client out.
    if (pty_->ClearExclusive())
      pendingLog_.push_back("cleared the exclusivity flag its last client left behind");
  }
}

void TSimStation::DropUnheard() {
  if (outbound_.empty())
    return;
  pendingLog_.push_back(std::to_string(outbound_.size()) + " bytes lost: the port is not open");
  outbound_.clear();
  writeBlocked_ = false;
}

void TSimStation::WriteDue(Clock::time_point now) {
  while (!outbound_.empty() && !writeBlocked_ && pty_->IsOpen()) {
    const auto due = NextWrite();
    if (due > now)
      return;
    if (!pty_->ClientPresent())
      return DropUnheard();
    // Timed, one byte per line slot; otherwise everything due at once.
    std::vector<std::uint8_t> bytes;
    const bool echo = outbound_.front().Kind == TOutKind::Echo;
    for (const auto &out : outbound_) {
      if (out.Ready > now || (LineTimed() && !bytes.empty()))
        break;
      bytes.push_back(out.Byte);
    }
    const ssize_t n = ::write(pty_->Master(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EAGAIN)
        writeBlocked_ = true;
      else if (errno != EINTR)
        outbound_.clear();
      return;
    }
    for (ssize_t i = 0; i < n; ++i) {
      sent_.push_back(outbound_.front().Byte);
      outbound_.pop_front();
    }
    if (LineTimed() && !echo)
      txLineFree_ = due;
    lastActivity_ = std::max(lastActivity_, now);
    changed_.notify_all();
  }
}

void TSimStation::DoHangUp() {
  hangUpRequested_ = false;
  if (hungUp_)
    return;
  pty_->Close();
  outbound_.clear();
  writeBlocked_ = false;
  // An unplugged adapter's device is gone: the name now leads nowhere, which the tool reads as a
  // missing device. Removing the name instead would send the tool to a real serial port.
  if (link_)
    link_->Retarget(link_->Path().string() + "-unplugged");
  if (!parser_.Abandon().empty())
    exchangeNote_.clear();
  pendingLog_.push_back("line hung up");
  hungUp_ = true;
  changed_.notify_all();
}

void TSimStation::HangUp() {
  std::unique_lock lock(mutex_);
  if (!pty_ || hungUp_)
    return;
  if (!thread_.joinable()) {
    DoHangUp();
    return;
  }
  hangUpRequested_ = true;
  Wake();
  changed_.wait(lock, [&] { return hungUp_ || !thread_.joinable() || stopRequested_; });
}

bool TSimStation::HungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

void TSimStation::SendStray(const std::vector<std::uint8_t> &bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!pty_ || hungUp_)
      return;
    const auto now = Clock::now();
    for (const auto b : bytes)
      if (outbound_.size() < MaxQueued)
        outbound_.push_back({b, now});
    pendingLog_.push_back(HexBytes(bytes) + "  sent unasked");
    Wake();
  }
}
