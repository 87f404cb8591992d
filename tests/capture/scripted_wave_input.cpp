#include "scripted_wave_input.h"

#include <algorithm>
#include <cstring>

namespace capture_test {

using swipe::CaptureBuffer;
using swipe::DeviceResult;
using swipe::ReturnedBuffer;
using swipe::WaveMessage;

ScriptedWaveInput::ScriptedWaveInput(Delivery delivery)
    : delivery_(delivery), thread_(&ScriptedWaveInput::CallbackThread, this) {}

ScriptedWaveInput::~ScriptedWaveInput() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

// --- Script ---------------------------------------------------------------------------------

void ScriptedWaveInput::FailCall(const std::string& call, int nth, DeviceResult code) {
  std::lock_guard<std::mutex> lock(mutex_);
  failures_[call] = {nth, code};
}

void ScriptedWaveInput::SetOpenDelay(std::chrono::milliseconds delay) {
  std::lock_guard<std::mutex> lock(mutex_);
  openDelay_ = delay;
}

void ScriptedWaveInput::SetHeldAtStop(std::optional<Bytes> content) {
  std::lock_guard<std::mutex> lock(mutex_);
  heldAtStop_ = std::move(content);
}

void ScriptedWaveInput::SetResetKeepsBuffers(bool keep) {
  std::lock_guard<std::mutex> lock(mutex_);
  resetKeeps_ = keep;
}

void ScriptedWaveInput::AutoFill(std::chrono::milliseconds interval,
                                 std::function<Bytes(int)> content) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    autoInterval_ = interval;
    autoContent_ = std::move(content);
  }
  changed_.notify_all();
}

bool ScriptedWaveInput::Fill(const Bytes& content) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!open_ || !started_ || queue_.empty()) return false;
  pending_.push_back(TakeHead(&content));
  changed_.notify_all();
  return true;
}

void ScriptedWaveInput::WaitForCallbacks() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return pending_.empty() && inCallback_ == 0; });
}

// --- Observations ---------------------------------------------------------------------------

std::vector<std::string> ScriptedWaveInput::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<std::string> ScriptedWaveInput::Violations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return violations_;
}

bool ScriptedWaveInput::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

std::size_t ScriptedWaveInput::QueuedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool ScriptedWaveInput::Holds(const unsigned char* block) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Slot& slot : slots_) {
    if (slot.data == block && slot.queued) return true;
  }
  for (const ReturnedBuffer& r : pending_) {
    if (slots_[r.index].data == block) return true;
  }
  return false;
}

std::vector<std::uint32_t> ScriptedWaveInput::PreparedLengths() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return preparedLengths_;
}

int ScriptedWaveInput::Count(const std::string& call) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = counts_.find(call);
  return it == counts_.end() ? 0 : it->second;
}

swipe::WaveFormat ScriptedWaveInput::LastFormat() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return format_;
}

// --- Helpers (mutex_ held) ------------------------------------------------------------------

DeviceResult ScriptedWaveInput::Begin(const std::string& call, const std::string& detail) {
  calls_.push_back(detail.empty() ? call : call + " " + detail);
  const int n = ++counts_[call];
  if (inCallback_ > 0 && callerInCallback_ == std::this_thread::get_id() && call != "add") {
    Violation(call + " from inside a callback");
  }
  auto it = failures_.find(call);
  if (it != failures_.end() && it->second.first == n) return it->second.second;
  return swipe::kDeviceOk;
}

void ScriptedWaveInput::Violation(const std::string& what) { violations_.push_back(what); }

ReturnedBuffer ScriptedWaveInput::TakeHead(const Bytes* content) {
  const std::size_t index = queue_.front();
  queue_.pop_front();
  Slot& slot = slots_[index];
  slot.queued = false;
  ReturnedBuffer r;
  r.index = index;
  r.done = true;
  if (content) {
    r.bytesRecorded =
        static_cast<std::uint32_t>(std::min<std::size_t>(content->size(), slot.length));
    std::memcpy(slot.data, content->data(), r.bytesRecorded);
  }
  return r;
}

void ScriptedWaveInput::HandBack(std::unique_lock<std::mutex>& lock,
                                 std::vector<ReturnedBuffer> buffers) {
  if (delivery_ == Delivery::callbackThread) {
    for (const ReturnedBuffer& r : buffers) pending_.push_back(r);
    changed_.notify_all();
    return;
  }
  // Handed back before the call returns, as some systems do. They still count as held until
  // their callback is over.
  for (const ReturnedBuffer& r : buffers) pending_.push_back(r);
  lock.unlock();
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    std::unique_lock<std::mutex> callback(callbackMutex_);
    ReturnedBuffer r;
    {
      std::lock_guard<std::mutex> relock(mutex_);
      // The callback thread may have taken some of them meanwhile.
      auto it = std::find_if(pending_.begin(), pending_.end(), [&](const ReturnedBuffer& p) {
        return p.index == buffers[i].index;
      });
      if (it == pending_.end()) continue;
      r = *it;
      pending_.erase(it);
      ++inCallback_;
      callerInCallback_ = std::this_thread::get_id();
    }
    listener_->WaveInCallback(WaveMessage::data, r);
    {
      std::lock_guard<std::mutex> relock(mutex_);
      --inCallback_;
    }
    changed_.notify_all();
  }
  lock.lock();
}

void ScriptedWaveInput::Deliver(WaveMessage message, const ReturnedBuffer& buffer) {
  listener_->WaveInCallback(message, buffer);
}

void ScriptedWaveInput::CallbackThread() {
  std::unique_lock<std::mutex> lock(mutex_);
  callbackThreadId_ = std::this_thread::get_id();
  while (!shutdown_) {
    if (!pending_.empty()) {
      lock.unlock();
      std::unique_lock<std::mutex> callback(callbackMutex_);
      lock.lock();
      if (pending_.empty()) continue;
      const ReturnedBuffer r = pending_.front();
      pending_.pop_front();
      ++inCallback_;
      callerInCallback_ = std::this_thread::get_id();
      swipe::WaveInputListener* listener = listener_;
      lock.unlock();
      listener->WaveInCallback(WaveMessage::data, r);
      lock.lock();
      --inCallback_;
      changed_.notify_all();
      continue;
    }
    if (autoContent_ && open_ && started_ && !queue_.empty()) {
      const int count = autoCount_;
      const bool woken =
          changed_.wait_for(lock, autoInterval_, [this] { return shutdown_ || !pending_.empty(); });
      if (woken) {
        continue;
      }
      if (open_ && started_ && !queue_.empty()) {
        ++autoCount_;
        const Bytes content = autoContent_(count);
        pending_.push_back(TakeHead(&content));
      }
      continue;
    }
    changed_.wait(lock);
  }
}

// --- The device -----------------------------------------------------------------------------

DeviceResult ScriptedWaveInput::Open(const swipe::WaveFormat& format,
                                     swipe::WaveInputListener& listener) {
  std::chrono::milliseconds delay;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delay = openDelay_;
  }
  std::this_thread::sleep_for(delay);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const DeviceResult result = Begin("open", "");
    if (result != swipe::kDeviceOk) return result;
    if (open_) Violation("open while open");
    open_ = true;
    started_ = false;
    format_ = format;
    listener_ = &listener;
  }
  Deliver(WaveMessage::open, ReturnedBuffer{});
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Prepare(const CaptureBuffer& buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  const DeviceResult result = Begin("prepare", std::to_string(buffer.index));
  preparedLengths_.push_back(buffer.length);
  if (result != swipe::kDeviceOk) return result;
  if (!open_ || buffer.index >= 3) {
    Violation("prepare on a closed device or an unknown buffer");
    return swipe::kDeviceInvalidParam;
  }
  Slot& slot = slots_[buffer.index];
  if (slot.queued) Violation("prepare of a queued buffer");
  slot.data = buffer.data;
  slot.length = buffer.length;
  slot.prepared = true;
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Add(const CaptureBuffer& buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  const DeviceResult result = Begin("add", std::to_string(buffer.index));
  if (result != swipe::kDeviceOk) return result;
  if (!open_ || buffer.index >= 3 || !slots_[buffer.index].prepared) {
    Violation("add of an unprepared buffer or on a closed device");
    return swipe::kDeviceInvalidParam;
  }
  Slot& slot = slots_[buffer.index];
  if (slot.queued) {
    Violation("add of a buffer already queued");
    return swipe::kDeviceStillRecording;
  }
  slot.queued = true;
  queue_.push_back(buffer.index);
  changed_.notify_all();
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  const DeviceResult result = Begin("start", "");
  if (result != swipe::kDeviceOk) return result;
  if (!open_) Violation("start on a closed device");
  started_ = true;
  changed_.notify_all();
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Stop() {
  std::unique_lock<std::mutex> lock(mutex_);
  Begin("stop", "");
  std::vector<ReturnedBuffer> back;
  if (started_ && !queue_.empty() && heldAtStop_) back.push_back(TakeHead(&*heldAtStop_));
  started_ = false;
  HandBack(lock, std::move(back));
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Reset() {
  std::unique_lock<std::mutex> lock(mutex_);
  Begin("reset", "");
  started_ = false;
  std::vector<ReturnedBuffer> back;
  if (!resetKeeps_) {
    while (!queue_.empty()) back.push_back(TakeHead(nullptr));
  }
  HandBack(lock, std::move(back));
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Unprepare(const CaptureBuffer& buffer) {
  std::lock_guard<std::mutex> lock(mutex_);
  Begin("unprepare", std::to_string(buffer.index));
  if (buffer.index >= 3) return swipe::kDeviceInvalidParam;
  Slot& slot = slots_[buffer.index];
  if (slot.queued) {
    Violation("unprepare of a queued buffer");
    return swipe::kDeviceStillRecording;
  }
  slot = Slot{};
  return swipe::kDeviceOk;
}

DeviceResult ScriptedWaveInput::Close() {
  {
    // Like a system device, the close lets a callback that is returning finish first. One that
    // has not been delivered yet is the caller's fault.
    std::unique_lock<std::mutex> callback(callbackMutex_, std::defer_lock);
    const bool fromCallback = [&] {
      std::lock_guard<std::mutex> lock(mutex_);
      return inCallback_ > 0 && callerInCallback_ == std::this_thread::get_id();
    }();
    if (!fromCallback) callback.lock();
    std::lock_guard<std::mutex> lock(mutex_);
    Begin("close", "");
    if (!queue_.empty()) return swipe::kDeviceStillRecording;
    if (!pending_.empty()) Violation("close with callbacks pending");
    open_ = false;
    started_ = false;
  }
  Deliver(WaveMessage::close, ReturnedBuffer{});
  return swipe::kDeviceOk;
}

}  // namespace capture_test
