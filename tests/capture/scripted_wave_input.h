// A wave-input device driven by the test: it keeps a queue of buffers like the real one, hands
// them back through the listener on a callback thread of its own, and writes down every call
// and every breach of the device's rules (a call it would refuse, a call from inside a callback
// other than Add, a close under a running callback, a block freed while it still holds it).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "wave_input_device.h"

namespace capture_test {

using Bytes = std::vector<unsigned char>;

class ScriptedWaveInput final : public swipe::WaveInputDevice {
 public:
  // Where Stop and Reset hand buffers back: on the device's callback thread (later), or at once
  // on the thread that called them, before they return.
  enum class Delivery { callbackThread, callerThread };

  explicit ScriptedWaveInput(Delivery delivery = Delivery::callbackThread);
  ~ScriptedWaveInput() override;

  // --- Script -------------------------------------------------------------------------------
  // The `nth` call (1-based) of `call` ("open", "prepare", "add", "start") fails with `code`.
  void FailCall(const std::string& call, int nth, swipe::DeviceResult code);
  void SetOpenDelay(std::chrono::milliseconds delay);
  // What the buffer being filled holds when Stop comes; nothing is handed back when unset.
  void SetHeldAtStop(std::optional<Bytes> content);
  // A device that never gives queued buffers back on Reset.
  void SetResetKeepsBuffers(bool keep);
  // While started, hand the oldest queued buffer back every `interval`, filled by `content`
  // (called with a running count).
  void AutoFill(std::chrono::milliseconds interval, std::function<Bytes(int)> content);

  // Records `content` into the oldest queued buffer and hands it back on the callback thread.
  // False when the device is not started or holds no buffer.
  bool Fill(const Bytes& content);
  // Waits until every buffer handed back so far has been through its callback.
  void WaitForCallbacks();

  // --- Observations -------------------------------------------------------------------------
  std::vector<std::string> Calls() const;
  std::vector<std::string> Violations() const;
  bool IsOpen() const;
  std::size_t QueuedCount() const;
  bool Holds(const unsigned char* block) const;
  std::vector<std::uint32_t> PreparedLengths() const;  // every prepare, in order
  int Count(const std::string& call) const;

  // --- The device ---------------------------------------------------------------------------
  swipe::DeviceResult Open(const swipe::WaveFormat& format,
                           swipe::WaveInputListener& listener) override;
  swipe::DeviceResult Prepare(const swipe::CaptureBuffer& buffer) override;
  swipe::DeviceResult Add(const swipe::CaptureBuffer& buffer) override;
  swipe::DeviceResult Start() override;
  swipe::DeviceResult Stop() override;
  swipe::DeviceResult Reset() override;
  swipe::DeviceResult Unprepare(const swipe::CaptureBuffer& buffer) override;
  swipe::DeviceResult Close() override;

  swipe::WaveFormat LastFormat() const;

 private:
  struct Slot {
    unsigned char* data = nullptr;
    std::uint32_t length = 0;
    bool prepared = false;
    bool queued = false;
  };

  // Called with mutex_ held.
  swipe::DeviceResult Begin(const std::string& call, const std::string& detail);
  void Violation(const std::string& what);
  swipe::ReturnedBuffer TakeHead(const Bytes* content);
  void HandBack(std::unique_lock<std::mutex>& lock, std::vector<swipe::ReturnedBuffer> buffers);
  void Deliver(swipe::WaveMessage message, const swipe::ReturnedBuffer& buffer);
  void CallbackThread();

  const Delivery delivery_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::mutex callbackMutex_;  // callbacks never overlap

  swipe::WaveInputListener* listener_ = nullptr;
  swipe::WaveFormat format_;
  bool open_ = false;
  bool started_ = false;
  Slot slots_[3];
  std::deque<std::size_t> queue_;
  std::deque<swipe::ReturnedBuffer> pending_;
  int inCallback_ = 0;
  std::thread::id callbackThreadId_;
  std::thread::id callerInCallback_;
  bool shutdown_ = false;

  std::map<std::string, int> counts_;
  std::map<std::string, std::pair<int, swipe::DeviceResult>> failures_;
  std::chrono::milliseconds openDelay_{0};
  std::optional<Bytes> heldAtStop_;
  bool resetKeeps_ = false;
  std::chrono::milliseconds autoInterval_{0};
  std::function<Bytes(int)> autoContent_;
  int autoCount_ = 0;

  std::vector<std::string> calls_;
  std::vector<std::string> violations_;
  std::vector<std::uint32_t> preparedLengths_;

  std::thread thread_;
};

}  // namespace capture_test
