#include "channel.h"

namespace fingersim {

namespace {

std::size_t IndexOf(Operation operation) { return static_cast<std::size_t>(operation); }
std::size_t IndexOf(LiveKind kind) { return static_cast<std::size_t>(kind); }

}  // namespace

ScannerChannel& ScannerChannel::Process() {
  static ScannerChannel channel;
  return channel;
}

bool ScannerChannel::SetResults(std::string_view operation, std::string_view values) {
  const auto op = OperationNamed(operation);
  if (!op) return false;
  auto parsed = ParseScriptedValues(*op, values);
  if (!parsed) return false;
  std::lock_guard<std::mutex> hold(lock_);
  scripts_[IndexOf(*op)].Assign(std::move(*parsed));
  return true;
}

bool ScannerChannel::AddFailure(std::string_view operation, std::int32_t hresult) {
  const auto op = OperationNamed(operation);
  if (!op || hresult >= 0) return false;
  std::lock_guard<std::mutex> hold(lock_);
  failures_[IndexOf(*op)].push_back(hresult);
  return true;
}

void ScannerChannel::SetPictureWithoutIPicture(bool on) {
  std::lock_guard<std::mutex> hold(lock_);
  pictureWithoutIPicture_ = on;
}

bool ScannerChannel::PictureWithoutIPicture() const {
  std::lock_guard<std::mutex> hold(lock_);
  return pictureWithoutIPicture_;
}

std::string ScannerChannel::CallLogText() const {
  std::lock_guard<std::mutex> hold(lock_);
  return log_.Text();
}

void ScannerChannel::Reset() {
  std::lock_guard<std::mutex> hold(lock_);
  for (ScriptedSequence& s : scripts_) s.Assign({});
  for (auto& f : failures_) f.clear();
  pictureWithoutIPicture_ = false;
  log_.Clear();
  touches_.clear();
}

std::int64_t ScannerChannel::NextTouch(std::int64_t finger) {
  std::lock_guard<std::mutex> hold(lock_);
  return touches_[finger]++;
}

ScannerChannel::Call ScannerChannel::Enter(Operation operation, std::initializer_list<LogArg> args) {
  std::string line = FormatCall(NameOf(operation), args);
  std::lock_guard<std::mutex> hold(lock_);
  log_.Add(std::move(line));
  Call call;
  call.failure = TakeFailureLocked(operation);
  if (!call.failed()) call.scripted = scripts_[IndexOf(operation)].Next();
  return call;
}

std::int32_t ScannerChannel::TakeFailure(Operation operation) {
  std::lock_guard<std::mutex> hold(lock_);
  return TakeFailureLocked(operation);
}

std::int32_t ScannerChannel::TakeFailureLocked(Operation operation) {
  auto& pending = failures_[IndexOf(operation)];
  if (pending.empty()) return 0;
  const std::int32_t hr = pending.front();
  pending.pop_front();
  return hr;
}

void ScannerChannel::ObjectCreated(LiveKind kind) {
  std::lock_guard<std::mutex> hold(lock_);
  ++live_[IndexOf(kind)];
}

void ScannerChannel::ObjectReleased(LiveKind kind) {
  std::lock_guard<std::mutex> hold(lock_);
  --live_[IndexOf(kind)];
}

std::int32_t ScannerChannel::LiveObjects() const {
  std::lock_guard<std::mutex> hold(lock_);
  return live_[0] + live_[1] + live_[2];
}

std::int32_t ScannerChannel::LiveObjects(LiveKind kind) const {
  std::lock_guard<std::mutex> hold(lock_);
  return live_[IndexOf(kind)];
}

}  // namespace fingersim
