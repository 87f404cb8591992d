// The sound input as the capture engine sees it: a wave-input device that is opened with a
// format, given capture buffers, started, stopped, reset and closed, and that hands filled
// buffers back through a callback.
//
// Callback contract (the one the system's wave input keeps):
//   - WaveInCallback may run on a thread of the device's own, or synchronously on the thread
//     that calls Open, Stop, Reset or Close; callbacks of one device never overlap.
//   - Inside WaveInCallback only Add may be called on the device.
//   - Stop hands back the buffer being filled (marked done, with what it holds); buffers still
//     waiting in the queue stay there. Reset hands back every queued buffer, marked done.
//   - Unprepare and Close fail while the device still holds a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace swipe {

// Result of a device call: 0 for success, otherwise the platform's error number.
using DeviceResult = std::uint32_t;

constexpr DeviceResult kDeviceOk = 0;
constexpr DeviceResult kDeviceNoMemory = 7;        // no memory for the capture buffers
constexpr DeviceResult kDeviceInvalidParam = 11;   // a buffer the device doesn't know
constexpr DeviceResult kDeviceStillRecording = 33; // the device still holds a buffer

// The fields of the wave format record the device is opened with.
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

// One capture buffer as the engine gives it to the device.
struct CaptureBuffer {
  unsigned char* data = nullptr;
  std::uint32_t length = 0;      // bytes
  std::uint32_t bytesRecorded = 0;
  std::size_t index = 0;         // 0, 1 or 2; the device keeps it as the buffer's user value
};

enum class WaveMessage { open, close, data };

// What the device says about a buffer it hands back (message data only).
struct ReturnedBuffer {
  std::size_t index = 0;
  std::uint32_t bytesRecorded = 0;
  bool done = false;  // the device marked it done
};

class WaveInputListener {
 public:
  virtual void WaveInCallback(WaveMessage message, const ReturnedBuffer& buffer) = 0;

 protected:
  ~WaveInputListener() = default;
};

class WaveInputDevice {
 public:
  virtual ~WaveInputDevice() = default;
  // Opens the default input device; callbacks go to `listener` until Close.
  virtual DeviceResult Open(const WaveFormat& format, WaveInputListener& listener) = 0;
  virtual DeviceResult Prepare(const CaptureBuffer& buffer) = 0;
  virtual DeviceResult Add(const CaptureBuffer& buffer) = 0;
  virtual DeviceResult Start() = 0;
  virtual DeviceResult Stop() = 0;
  virtual DeviceResult Reset() = 0;
  virtual DeviceResult Unprepare(const CaptureBuffer& buffer) = 0;
  virtual DeviceResult Close() = 0;
};

}  // namespace swipe
