// Capture engine of the card-swipe server: records the sound input on a worker thread in three
// rotating buffers and decodes every buffer the device hands back into the result text.
//
// Threads:
//   - the control's thread: BeginRecording, StopRecording, ResetRecordingState, ReadTrack2Text
//     (one control operation runs at a time, whatever thread calls it);
//   - the worker: RecordThreadProc opens the device, queues the buffers, starts the input and
//     polls the recording flag every poll interval;
//   - the device's callback thread: WaveInCallback decodes, stores the text, beeps, re-queues.
//
// What a stop guarantees: when StopRecording returns, the worker has ended, the device is closed,
// no callback is running or pending, and no buffer was freed while the device or a callback still
// held it. Buffers still queued at the stop are taken back without being decoded; the buffer the
// device was filling comes back with what it holds and is decoded like any other.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "beeper.h"
#include "block_allocator.h"
#include "line_sink.h"
#include "wave_input_device.h"

namespace swipe {

// Turns one buffer of 16-bit mono samples (`byteCount` bytes, two per sample) into the Track 2
// text, or the empty text. May write into the buffer. The text stays valid until the next call.
using DecodeFunction = std::function<const char*(unsigned char* samples, std::int32_t byteCount)>;

// What the engine talks to. Everything must outlive the engine.
struct CapturePorts {
  WaveInputDevice& device;
  BlockAllocator& blocks;
  Beeper& beeper;
  LineSink& lines;
  DecodeFunction decode;
};

struct CaptureTiming {
  std::chrono::milliseconds poll{100};          // the worker's look at the recording flag
  std::chrono::milliseconds stopPause{100};     // each of the two pauses of a stop
  std::chrono::milliseconds takeBackWait{100};  // for queued buffers after each device reset
  int takeBackAttempts = 20;  // resets before buffers the device keeps are left to it
};

class CaptureEngine final : private WaveInputListener {
 public:
  static constexpr std::size_t kTrack2TextSize = 262144;
  static constexpr std::size_t kBufferCount = 3;
  static constexpr std::uint32_t kSampleRate = 44100;
  static constexpr std::uint32_t kBytesPerSecond = 88200;
  static constexpr std::int16_t kDefaultSeconds = 2;
  static constexpr unsigned kBeepHz = 500;
  static constexpr unsigned kBeepMs = 200;

  explicit CaptureEngine(const CapturePorts& ports, const CaptureTiming& timing = {});
  // Stops a running recording.
  ~CaptureEngine();
  CaptureEngine(const CaptureEngine&) = delete;
  CaptureEngine& operator=(const CaptureEngine&) = delete;

  // Stops a running recording, empties the text and starts a worker that records buffers of
  // RecSecondsFor(recTime) seconds. Returns at once.
  void BeginRecording(long recTime);
  // Ends the recording: at least two stop pauses when a worker runs, at once when none does.
  void StopRecording();
  // Back to idle bookkeeping; the text is kept. A recording that still has a worker (and so
  // possibly an open device with queued buffers) is stopped first rather than forgotten.
  void ResetRecordingState();
  // A copy of the result text, taken under the same lock as every write to it.
  std::string ReadTrack2Text() const;

  // The low 16 bits of recTime as a signed number; 2 when that is zero or negative.
  static std::int16_t RecSecondsFor(long recTime);

  std::int16_t RecSeconds() const;
  bool IsRecording() const { return isRecording_.load(); }
  bool HasWorker() const;

 private:
  // The worker's failure to start; its text is the same empty text for every step.
  struct StartFailure {
    const char* text;
  };

  enum class BufferState { idle, queued, processing };

  void StopLocked();
  void ForgetRecordingState();
  void RecordThreadProc();
  void OpenWaveInput();
  void QueueWaveBuffers();
  void WaveInCallback(WaveMessage message, const ReturnedBuffer& returned) override;
  void ProcessRecordedBuffer(CaptureBuffer& header, const ReturnedBuffer& returned);
  void DecodeIntoResult(unsigned char* samples, std::int32_t byteCount);
  void Requeue(CaptureBuffer& header);
  void ReleaseWaveBuffers();
  bool QuietLocked() const;
  [[noreturn]] void Fail(DeviceResult code);

  CapturePorts ports_;
  CaptureTiming timing_;

  // One BeginRecording, StopRecording or ResetRecordingState at a time.
  mutable std::mutex controlMutex_;

  // Recording bookkeeping. The worker handle and the device state are touched by the control
  // operations (under controlMutex_) and by the worker, which the control joins before it looks.
  std::atomic<bool> isRecording_{false};
  std::thread recordThread_;
  std::atomic<std::int16_t> recSeconds_{kDefaultSeconds};
  bool deviceOpen_ = false;
  WaveFormat waveFormat_;
  std::array<CaptureBuffer, kBufferCount> waveHeaders_{};
  std::array<bool, kBufferCount> prepared_{};

  // Who holds each buffer, shared with the callback.
  mutable std::mutex bufferMutex_;
  std::condition_variable bufferChanged_;
  std::array<BufferState, kBufferCount> bufferState_{};
  int callbacksRunning_ = 0;
  bool takingBack_ = false;  // the stop is taking the queued buffers back: no re-queue

  mutable std::mutex textMutex_;
  char track2Text_[kTrack2TextSize] = {};
};

}  // namespace swipe
