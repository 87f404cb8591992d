// Stand-ins for the capture engine's other ports: lines and beeps kept for the tests to read,
// capture memory that is counted and checked against the device, and a decoder whose text is
// whatever the recorded bytes spell (up to their first zero byte).
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "beeper.h"
#include "capture_engine.h"
#include "block_allocator.h"
#include "line_sink.h"
#include "scripted_wave_input.h"

namespace capture_test {

// Polls `done` every millisecond for at most `limit`; true when it came true.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class KeptLines final : public swipe::LineSink {
 public:
  void WriteLine(const std::string& line) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  int Count(const std::string& line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

class CountedBeeps final : public swipe::Beeper {
 public:
  void Beep(unsigned frequencyHz, unsigned durationMs) override {
    std::lock_guard<std::mutex> lock(mutex_);
    beeps_.emplace_back(frequencyHz, durationMs);
  }
  std::vector<std::pair<unsigned, unsigned>> Beeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return beeps_;
  }
  std::size_t Count() const { return Beeps().size(); }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<unsigned, unsigned>> beeps_;
};

// Heap blocks that are counted; a free of a block the device still holds is written down and
// the block is kept, so that the device can't write into freed memory.
class CheckedBlocks final : public swipe::BlockAllocator {
 public:
  explicit CheckedBlocks(const ScriptedWaveInput& device) : device_(device) {}
  ~CheckedBlocks() override {
    for (unsigned char* block : live_) std::free(block);
  }

  // The `nth` allocation (1-based) fails.
  void FailAllocation(int nth) { failAt_ = nth; }
  // Larger requests are written down and refused instead of taken from the machine.
  void RefuseAbove(std::size_t size) { refuseAbove_ = size; }

  unsigned char* AllocateZeroed(std::size_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(size);
    if (static_cast<int>(requests_.size()) == failAt_ || size > refuseAbove_) return nullptr;
    auto* block = static_cast<unsigned char*>(std::calloc(size, 1));
    if (block) live_.insert(block);
    return block;
  }
  void Free(unsigned char* block) override {
    const bool held = device_.Holds(block);
    std::lock_guard<std::mutex> lock(mutex_);
    if (held) {
      badFrees_.push_back(block);
      return;
    }
    if (live_.erase(block) == 1) std::free(block);
  }

  std::size_t Live() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.size();
  }
  std::vector<std::size_t> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  std::size_t BadFrees() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return badFrees_.size();
  }

 private:
  const ScriptedWaveInput& device_;
  mutable std::mutex mutex_;
  std::set<unsigned char*> live_;
  std::vector<std::size_t> requests_;
  std::vector<unsigned char*> badFrees_;
  int failAt_ = 0;
  std::size_t refuseAbove_ = 64u << 20;
};

// Reads the recorded bytes as text up to the first zero byte. Notes every call and any
// overlapping one (the real decoder is not reentrant).
class SpellingDecoder {
 public:
  swipe::DecodeFunction Function() {
    return [this](unsigned char* samples, std::int32_t byteCount) {
      return Decode(samples, byteCount);
    };
  }
  void SetDelay(std::chrono::milliseconds delay) { delayMs_ = static_cast<int>(delay.count()); }

  int Calls() const { return calls_.load(); }
  int Inside() const { return inside_.load(); }
  bool Overlapped() const { return overlapped_.load(); }
  std::vector<std::int32_t> ByteCounts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return byteCounts_;
  }

 private:
  const char* Decode(unsigned char* samples, std::int32_t byteCount) {
    if (inside_.fetch_add(1) != 0) overlapped_ = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      byteCounts_.push_back(byteCount);
    }
    text_.clear();
    for (std::int32_t i = 0; i < byteCount && samples[i] != 0; ++i) {
      text_.push_back(static_cast<char>(samples[i]));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
    ++calls_;
    inside_.fetch_sub(1);
    return text_.c_str();
  }

  std::atomic<int> delayMs_{0};
  std::atomic<int> calls_{0};
  std::atomic<int> inside_{0};
  std::atomic<bool> overlapped_{false};
  mutable std::mutex mutex_;
  std::vector<std::int32_t> byteCounts_;
  std::string text_;
};

// Bytes that spell `text`, then a zero byte, padded to `size` bytes.
inline Bytes Spelled(const std::string& text, std::size_t size = 0) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  if (bytes.size() < size) bytes.resize(size, 0);
  return bytes;
}

}  // namespace capture_test
