#include "capture_engine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

namespace swipe {

namespace {

// The text every start failure carries.
const char kStartFailureText[] = "";

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatRecordSize = 18;

std::string ErrorLine(DeviceResult code) { return "Error: " + std::to_string(code); }

}  // namespace

CaptureEngine::CaptureEngine(const CapturePorts& ports, const CaptureTiming& timing)
    : ports_(ports), timing_(timing) {}

CaptureEngine::~CaptureEngine() {
  std::lock_guard<std::mutex> control(controlMutex_);
  StopLocked();
}

std::int16_t CaptureEngine::RecSecondsFor(long recTime) {
  const auto low = static_cast<std::uint16_t>(static_cast<unsigned long>(recTime) & 0xFFFFu);
  const auto seconds = static_cast<std::int16_t>(low);
  return seconds <= 0 ? kDefaultSeconds : seconds;
}

std::int16_t CaptureEngine::RecSeconds() const { return recSeconds_.load(); }

bool CaptureEngine::HasWorker() const {
  std::lock_guard<std::mutex> control(controlMutex_);
  return recordThread_.joinable();
}

std::string CaptureEngine::ReadTrack2Text() const {
  std::lock_guard<std::mutex> text(textMutex_);
  return std::string(track2Text_);
}

// --- Control operations ---------------------------------------------------------------------

void CaptureEngine::BeginRecording(long recTime) {
  std::lock_guard<std::mutex> control(controlMutex_);
  // A worker left from a failed start has to be joined too, or its handle would be lost.
  if (isRecording_.load() || recordThread_.joinable()) StopLocked();
  recSeconds_.store(RecSecondsFor(recTime));
  {
    std::lock_guard<std::mutex> text(textMutex_);
    track2Text_[0] = '\0';
  }
  ForgetRecordingState();
  isRecording_.store(true);
  try {
    recordThread_ = std::thread(&CaptureEngine::RecordThreadProc, this);
  } catch (const std::system_error&) {
    // No worker: nothing records and nothing says so; the next start begins afresh.
  }
}

void CaptureEngine::StopRecording() {
  std::lock_guard<std::mutex> control(controlMutex_);
  StopLocked();
}

void CaptureEngine::ResetRecordingState() {
  std::lock_guard<std::mutex> control(controlMutex_);
  if (recordThread_.joinable()) StopLocked();
  isRecording_.store(false);
  ForgetRecordingState();
}

void CaptureEngine::StopLocked() {
  if (!recordThread_.joinable()) return;
  isRecording_.store(false);
  std::this_thread::sleep_for(timing_.stopPause);
  // The worker ends by itself at its next look at the flag. Joining it also waits for a worker
  // still in its start steps, so the device is never released under it.
  recordThread_.join();
  std::this_thread::sleep_for(timing_.stopPause);
  if (deviceOpen_) {
    ReleaseWaveBuffers();
    ports_.device.Close();
  }
  deviceOpen_ = false;
}

void CaptureEngine::ForgetRecordingState() {
  deviceOpen_ = false;
  waveFormat_ = WaveFormat{};
  waveHeaders_.fill(CaptureBuffer{});
  prepared_.fill(false);
  std::lock_guard<std::mutex> lock(bufferMutex_);
  bufferState_.fill(BufferState::idle);
  takingBack_ = false;
}

// --- Worker ---------------------------------------------------------------------------------

void CaptureEngine::RecordThreadProc() {
  try {
    ports_.lines.WriteLine("Recording...");
    OpenWaveInput();
    QueueWaveBuffers();
    const DeviceResult started = ports_.device.Start();
    if (started != kDeviceOk) Fail(started);
  } catch (const StartFailure& failure) {
    // Whatever was opened or queued stays for the next stop to clean up.
    ports_.lines.WriteLine(std::string("ERROR EXCEPTION: ") + failure.text);
    return;
  } catch (...) {
    // Anything else (no memory for a line, say) ends the start the same way; it must not end
    // the host's process.
    try {
      ports_.lines.WriteLine(std::string("ERROR EXCEPTION: ") + kStartFailureText);
    } catch (...) {
    }
    return;
  }
  while (isRecording_.load()) std::this_thread::sleep_for(timing_.poll);
}

void CaptureEngine::Fail(DeviceResult code) {
  ports_.lines.WriteLine(ErrorLine(code));
  throw StartFailure{kStartFailureText};
}

void CaptureEngine::OpenWaveInput() {
  waveFormat_.formatTag = kFormatPcm;
  waveFormat_.channels = 1;
  waveFormat_.samplesPerSec = kSampleRate;
  waveFormat_.avgBytesPerSec = kBytesPerSecond;
  waveFormat_.blockAlign = 2;
  waveFormat_.bitsPerSample = 16;
  waveFormat_.cbSize = kFormatRecordSize;
  const DeviceResult opened = ports_.device.Open(waveFormat_, *this);
  if (opened != kDeviceOk) Fail(opened);
  deviceOpen_ = true;
}

void CaptureEngine::QueueWaveBuffers() {
  // The length is a 32-bit signed number: 24348 seconds or more would not fit.
  const std::int64_t length =
      static_cast<std::int64_t>(recSeconds_.load()) * waveFormat_.avgBytesPerSec;
  const bool representable = length > 0 && length <= std::numeric_limits<std::int32_t>::max();
  for (std::size_t i = 0; i < kBufferCount; ++i) {
    CaptureBuffer& header = waveHeaders_[i];
    unsigned char* block =
        representable ? ports_.blocks.AllocateZeroed(static_cast<std::size_t>(length)) : nullptr;
    if (!block) Fail(kDeviceNoMemory);
    header.data = block;
    header.length = static_cast<std::uint32_t>(length);
    header.bytesRecorded = 0;
    header.index = i;

    const DeviceResult prepared = ports_.device.Prepare(header);
    if (prepared != kDeviceOk) Fail(prepared);
    prepared_[i] = true;

    {
      std::lock_guard<std::mutex> lock(bufferMutex_);
      bufferState_[i] = BufferState::queued;
    }
    const DeviceResult added = ports_.device.Add(header);
    if (added != kDeviceOk) {
      {
        std::lock_guard<std::mutex> lock(bufferMutex_);
        bufferState_[i] = BufferState::idle;
      }
      bufferChanged_.notify_all();
      Fail(added);
    }
  }
}

// --- Device callback ------------------------------------------------------------------------

void CaptureEngine::WaveInCallback(WaveMessage message, const ReturnedBuffer& returned) {
  if (message != WaveMessage::data || returned.index >= kBufferCount) return;
  const std::size_t i = returned.index;
  bool takenBack = false;
  {
    std::lock_guard<std::mutex> lock(bufferMutex_);
    if (bufferState_[i] != BufferState::queued) return;  // not a buffer the device was given
    bufferState_[i] = BufferState::processing;
    ++callbacksRunning_;
    // Queued buffers that the stop takes back never held anything; they are not decoded.
    takenBack = takingBack_ && returned.bytesRecorded == 0;
  }
  // Whatever happens below, the buffer is out of this callback when it ends.
  struct Finish {
    CaptureEngine& engine;
    std::size_t index;
    ~Finish() {
      std::lock_guard<std::mutex> lock(engine.bufferMutex_);
      if (engine.bufferState_[index] == BufferState::processing) {
        engine.bufferState_[index] = BufferState::idle;
      }
      --engine.callbacksRunning_;
      engine.bufferChanged_.notify_all();
    }
  } finish{*this, i};
  if (takenBack) return;
  ProcessRecordedBuffer(waveHeaders_[i], returned);
  ports_.lines.WriteLine("Recording stopped...");
}

void CaptureEngine::ProcessRecordedBuffer(CaptureBuffer& header, const ReturnedBuffer& returned) {
  if (!returned.done) return;
  // Never trust the device with more than the buffer holds.
  header.bytesRecorded = std::min(returned.bytesRecorded, header.length);
  DecodeIntoResult(header.data, static_cast<std::int32_t>(header.bytesRecorded));
  Requeue(header);
}

void CaptureEngine::Requeue(CaptureBuffer& header) {
  {
    std::lock_guard<std::mutex> lock(bufferMutex_);
    if (takingBack_) return;  // the stop frees it once this callback is over
    bufferState_[header.index] = BufferState::queued;
  }
  const DeviceResult added = ports_.device.Add(header);
  if (added == kDeviceOk) return;
  {
    std::lock_guard<std::mutex> lock(bufferMutex_);
    bufferState_[header.index] = BufferState::processing;  // out of the queue for good
  }
  ports_.lines.WriteLine(ErrorLine(added));
}

void CaptureEngine::DecodeIntoResult(unsigned char* samples, std::int32_t byteCount) {
  const char* text = ports_.decode(samples, byteCount);
  if (!text) text = "";
  std::string line = "Decoded: [";
  {
    std::lock_guard<std::mutex> lock(textMutex_);
    std::size_t length = 0;
    while (length < kTrack2TextSize - 1 && text[length] != '\0') ++length;
    std::memcpy(track2Text_, text, length);
    track2Text_[length] = '\0';
    line.append(track2Text_, length);
  }
  ports_.beeper.Beep(kBeepHz, kBeepMs);
  line += "] ";
  ports_.lines.WriteLine(line);
}

// --- Releasing the device -------------------------------------------------------------------

bool CaptureEngine::QuietLocked() const {
  return callbacksRunning_ == 0 &&
         std::all_of(bufferState_.begin(), bufferState_.end(),
                     [](BufferState s) { return s == BufferState::idle; });
}

void CaptureEngine::ReleaseWaveBuffers() {
  if (!deviceOpen_) return;
  // The buffer being filled comes back with what it holds and is decoded (and re-queued).
  ports_.device.Stop();
  {
    std::lock_guard<std::mutex> lock(bufferMutex_);
    takingBack_ = true;
  }
  // Take the queued buffers back. A callback that was re-queueing its buffer just as the reset
  // went out leaves that buffer in the device: reset again when nothing has moved for a while.
  // Only quiet time counts towards giving up; a callback in progress always ends.
  const int attempts = std::max(timing_.takeBackAttempts, 1);
  ports_.device.Reset();
  int resets = 1;
  std::array<BufferState, kBufferCount> state;
  {
    std::unique_lock<std::mutex> lock(bufferMutex_);
    while (!QuietLocked()) {
      if (callbacksRunning_ > 0) {
        bufferChanged_.wait(lock);
        continue;
      }
      const bool moved = bufferChanged_.wait_for(lock, timing_.takeBackWait, [this] {
        return QuietLocked() || callbacksRunning_ > 0;
      });
      if (moved) continue;
      if (resets == attempts) break;  // the device keeps them: they stay its own
      lock.unlock();
      ports_.device.Reset();
      ++resets;
      lock.lock();
    }
    state = bufferState_;
  }
  for (std::size_t i = 0; i < kBufferCount; ++i) {
    CaptureBuffer& header = waveHeaders_[i];
    if (!header.data) continue;
    // A buffer the device never gave back stays allocated: it is the device's to write into.
    if (state[i] != BufferState::idle) continue;
    if (prepared_[i]) ports_.device.Unprepare(header);
    ports_.blocks.Free(header.data);
    header = CaptureBuffer{};
    prepared_[i] = false;
  }
}

}  // namespace swipe
