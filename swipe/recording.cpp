#include "recording.h"

#include "capture_engine.h"
#include "line_sink.h"
#include "process_heap_blocks.h"
#include "track2_decode_port.h"
#include "windows_beeper.h"
#include "winmm_wave_input.h"

namespace swipe {

namespace {

struct Recorder {
  WinmmWaveInput device;
  ProcessHeapBlocks blocks;
  WindowsBeeper beeper;
  StdoutLineSink lines;
  Track2DecodePort decoder{lines};
  CaptureEngine engine{CapturePorts{device, blocks, beeper, lines, decoder.Function()}};
};

// Made on first use and never destroyed: a recording may still run when the process ends, and
// its threads must not find the engine gone (nor be joined under the loader lock).
Recorder& TheRecorder() {
  static Recorder* const recorder = new Recorder();
  return *recorder;
}

}  // namespace

void BeginRecording(long recTime) { TheRecorder().engine.BeginRecording(recTime); }
void StopRecording() { TheRecorder().engine.StopRecording(); }
void ResetRecordingState() { TheRecorder().engine.ResetRecordingState(); }
std::string ReadTrack2Text() { return TheRecorder().engine.ReadTrack2Text(); }

}  // namespace swipe
