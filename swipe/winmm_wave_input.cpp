#include "winmm_wave_input.h"

namespace swipe {

DeviceResult WinmmWaveInput::Open(const WaveFormat& format, WaveInputListener& listener) {
  format_ = WAVEFORMATEX{};
  format_.wFormatTag = format.formatTag;
  format_.nChannels = format.channels;
  format_.nSamplesPerSec = format.samplesPerSec;
  format_.nAvgBytesPerSec = format.avgBytesPerSec;
  format_.nBlockAlign = format.blockAlign;
  format_.wBitsPerSample = format.bitsPerSample;
  format_.cbSize = format.cbSize;
  listener_ = &listener;
  HWAVEIN opened = nullptr;
  const MMRESULT result =
      waveInOpen(&opened, WAVE_MAPPER, &format_, reinterpret_cast<DWORD_PTR>(&WaveInProc),
                 reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (result == MMSYSERR_NOERROR) handle_ = opened;
  return result;
}

WAVEHDR* WinmmWaveInput::HeaderFor(const CaptureBuffer& buffer) {
  return buffer.index < kHeaderCount ? &headers_[buffer.index] : nullptr;
}

DeviceResult WinmmWaveInput::Prepare(const CaptureBuffer& buffer) {
  WAVEHDR* header = HeaderFor(buffer);
  if (!header) return MMSYSERR_INVALPARAM;
  *header = WAVEHDR{};
  header->lpData = reinterpret_cast<LPSTR>(buffer.data);
  header->dwBufferLength = buffer.length;
  header->dwUser = buffer.index;
  return waveInPrepareHeader(handle_, header, sizeof(WAVEHDR));
}

DeviceResult WinmmWaveInput::Add(const CaptureBuffer& buffer) {
  WAVEHDR* header = HeaderFor(buffer);
  if (!header) return MMSYSERR_INVALPARAM;
  return waveInAddBuffer(handle_, header, sizeof(WAVEHDR));
}

DeviceResult WinmmWaveInput::Start() { return waveInStart(handle_); }
DeviceResult WinmmWaveInput::Stop() { return waveInStop(handle_); }
DeviceResult WinmmWaveInput::Reset() { return waveInReset(handle_); }

DeviceResult WinmmWaveInput::Unprepare(const CaptureBuffer& buffer) {
  WAVEHDR* header = HeaderFor(buffer);
  if (!header) return MMSYSERR_INVALPARAM;
  const MMRESULT result = waveInUnprepareHeader(handle_, header, sizeof(WAVEHDR));
  if (result == MMSYSERR_NOERROR) *header = WAVEHDR{};
  return result;
}

DeviceResult WinmmWaveInput::Close() {
  const MMRESULT result = waveInClose(handle_);
  if (result == MMSYSERR_NOERROR) handle_ = nullptr;
  return result;
}

void CALLBACK WinmmWaveInput::WaveInProc(HWAVEIN, UINT message, DWORD_PTR instance,
                                         DWORD_PTR param1, DWORD_PTR) {
  auto* self = reinterpret_cast<WinmmWaveInput*>(instance);
  if (!self || !self->listener_) return;
  // Nothing may unwind into the system's code that called us.
  try {
    switch (message) {
      case WIM_OPEN:
        self->listener_->WaveInCallback(WaveMessage::open, ReturnedBuffer{});
        break;
      case WIM_CLOSE:
        self->listener_->WaveInCallback(WaveMessage::close, ReturnedBuffer{});
        break;
      case WIM_DATA: {
        const auto* header = reinterpret_cast<const WAVEHDR*>(param1);
        // Only headers of this device are looked at.
        if (header < self->headers_.data() || header >= self->headers_.data() + kHeaderCount) {
          break;
        }
        ReturnedBuffer returned;
        returned.index = static_cast<std::size_t>(header - self->headers_.data());
        returned.bytesRecorded = header->dwBytesRecorded;
        returned.done = (header->dwFlags & WHDR_DONE) != 0;
        self->listener_->WaveInCallback(WaveMessage::data, returned);
        break;
      }
      default:
        break;
    }
  } catch (...) {
  }
}

}  // namespace swipe
