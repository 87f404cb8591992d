// The default wave-input device of the Windows multimedia API, as a WaveInputDevice: a thin
// layer over waveInOpen (WAVE_MAPPER, CALLBACK_FUNCTION) and the header calls. It keeps one
// WAVEHDR per capture buffer, with the buffer's index as the header's user value.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <array>

#include "wave_input_device.h"

namespace swipe {

class WinmmWaveInput final : public WaveInputDevice {
 public:
  static constexpr std::size_t kHeaderCount = 3;

  WinmmWaveInput() = default;
  WinmmWaveInput(const WinmmWaveInput&) = delete;
  WinmmWaveInput& operator=(const WinmmWaveInput&) = delete;

  DeviceResult Open(const WaveFormat& format, WaveInputListener& listener) override;
  DeviceResult Prepare(const CaptureBuffer& buffer) override;
  DeviceResult Add(const CaptureBuffer& buffer) override;
  DeviceResult Start() override;
  DeviceResult Stop() override;
  DeviceResult Reset() override;
  DeviceResult Unprepare(const CaptureBuffer& buffer) override;
  DeviceResult Close() override;

 private:
  static void CALLBACK WaveInProc(HWAVEIN device, UINT message, DWORD_PTR instance,
                                  DWORD_PTR param1, DWORD_PTR param2);
  WAVEHDR* HeaderFor(const CaptureBuffer& buffer);

  HWAVEIN handle_ = nullptr;
  WaveInputListener* listener_ = nullptr;
  WAVEFORMATEX format_{};
  std::array<WAVEHDR, kHeaderCount> headers_{};
};

}  // namespace swipe
