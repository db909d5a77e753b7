// What a test or the station program sees of the station and sets on it: the bytes that crossed,
// the stored values, the faults to play. The station's own work (reading, serving, writing)
// is in SimStation.cpp.
#include "station/SimStation.h"

#include "station/ComLink.h"
#include "station/PseudoTerminal.h"

std::string TSimStation::SlavePath() const {
  std::lock_guard lock(mutex_);
  return pty_ ? pty_->SlavePath() : std::string();
}

termios TSimStation::ClientTermios() const {
  std::lock_guard lock(mutex_);
  return pty_ ? pty_->ClientTermios() : termios{};
}

std::filesystem::path TSimStation::LinkPath() const {
  std::lock_guard lock(mutex_);
  return link_ ? link_->Path() : std::filesystem::path();
}

std::filesystem::path TSimStation::ReplacedLinkTarget() const {
  std::lock_guard lock(mutex_);
  return link_ ? link_->Replaced() : std::filesystem::path();
}

std::vector<std::uint8_t> TSimStation::Received() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> out;
  for (const auto &r : received_)
    out.push_back(r.Byte);
  return out;
}

std::vector<TReceivedByte> TSimStation::ReceivedWithTimes() const {
  std::lock_guard lock(mutex_);
  return received_;
}

bool TSimStation::WaitReceived(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

std::vector<std::uint8_t> TSimStation::Sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

bool TSimStation::WaitSent(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return sent_.size() >= count; });
}

void TSimStation::ClearReceived() {
  std::lock_guard lock(mutex_);
  received_.clear();
  sent_.clear();
  early_.clear();
}

bool TSimStation::MidExchange() const {
  std::lock_guard lock(mutex_);
  return parser_.MidExchange();
}

std::vector<std::uint8_t> TSimStation::EarlyBytes() const {
  std::lock_guard lock(mutex_);
  return early_;
}

std::vector<std::string> TSimStation::ProtocolErrors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

#define STATE_GETTER(Type, Name, expr)                                                                       \
  Type TSimStation::Name() const {                                                                           \
    std::lock_guard lock(mutex_);                                                                            \
    return expr;                                                                                             \
  }

STATE_GETTER(std::uint8_t, ModelIndex, state_.ModelIndex)
STATE_GETTER(TFrontPanel, Panel, state_.Panel)
STATE_GETTER(std::uint8_t, Refl, state_.Refl())
STATE_GETTER(std::uint8_t, Forw, state_.Forw())
#undef STATE_GETTER

std::uint8_t TSimStation::Value(std::uint8_t address) const {
  std::lock_guard lock(mutex_);
  return state_.Values[address];
}

void TSimStation::SetValue(std::uint8_t address, std::uint8_t value) {
  std::lock_guard lock(mutex_);
  state_.Values[address] = value;
}

std::array<std::uint8_t, StationProtocol::ParamCount> TSimStation::ParamValues() const {
  std::lock_guard lock(mutex_);
  return state_.ParamValues();
}

void TSimStation::SetParamValues(const std::array<std::uint8_t, StationProtocol::ParamCount> &values) {
  std::lock_guard lock(mutex_);
  state_.SetParamValues(values);
}

void TSimStation::SetModelIndex(std::uint8_t index) {
  std::lock_guard lock(mutex_);
  state_.ModelIndex = index;
}

std::array<std::uint8_t, StationProtocol::SerialCount> TSimStation::SerialNumber() const {
  std::lock_guard lock(mutex_);
  return state_.SerialNumber;
}

void TSimStation::SetSerialNumber(const std::array<std::uint8_t, StationProtocol::SerialCount> &serial) {
  std::lock_guard lock(mutex_);
  state_.SerialNumber = serial;
}

std::array<std::uint8_t, StationProtocol::DateCount> TSimStation::ProcessorDate() const {
  std::lock_guard lock(mutex_);
  return state_.ProcessorDate;
}

void TSimStation::SetProcessorDate(const std::array<std::uint8_t, StationProtocol::DateCount> &date) {
  std::lock_guard lock(mutex_);
  state_.ProcessorDate = date;
}

void TSimStation::SetPanel(const TFrontPanel &panel) {
  std::lock_guard lock(mutex_);
  state_.Panel = panel;
}

std::array<std::uint8_t, StationProtocol::DacCount> TSimStation::DacValues() const {
  std::lock_guard lock(mutex_);
  return state_.DacValues();
}

void TSimStation::StopAnsweringAfter(std::optional<std::size_t> n) {
  std::lock_guard lock(mutex_);
  answersLeft_ = n;
}

void TSimStation::CutBlocksTo(std::optional<std::size_t> n) {
  std::lock_guard lock(mutex_);
  blockCut_ = n;
}

void TSimStation::StopSendingAfter(std::optional<std::size_t> n) {
  std::lock_guard lock(mutex_);
  sendsLeft_ = n;
}

void TSimStation::SetAnswerDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(mutex_);
  delay_ = std::max(delay, std::chrono::milliseconds{0});
}

void TSimStation::SetZeroAnswers(bool on) {
  std::lock_guard lock(mutex_);
  zeroAnswers_ = on;
}

void TSimStation::SetEcho(bool on) {
  std::lock_guard lock(mutex_);
  echo_ = on;
}

void TSimStation::SetReplyGap(std::chrono::milliseconds gap) {
  std::lock_guard lock(mutex_);
  gap_ = std::max(gap, std::chrono::milliseconds{0});
}

void TSimStation::SetDoubleAnswers(bool on) {
  std::lock_guard lock(mutex_);
  doubleAnswers_ = on;
}

void TSimStation::ClearFaults() {
  std::lock_guard lock(mutex_);
  answersLeft_.reset();
  blockCut_.reset();
  sendsLeft_.reset();
  delay_ = std::chrono::milliseconds{0};
  gap_ = std::chrono::milliseconds{0};
  zeroAnswers_ = false;
  echo_ = false;
  doubleAnswers_ = false;
}

void TSimStation::SetPacing(bool on) {
  std::lock_guard lock(mutex_);
  pace_ = on;
  Wake();
}

void TSimStation::SetLog(std::function<void(const std::string &)> log) {
  std::lock_guard lock(mutex_);
  log_ = std::move(log);
}
