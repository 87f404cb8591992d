// Track 2 decoder: from a buffer of recorded 16-bit samples of a magnetic-stripe swipe to the
// Track 2 character string (";", digits, "=", "?").
//
// The pipeline, in the order the driver runs it:
//   FindPeaks            samples -> the list of flux-reversal pulses (position, height, interval)
//   CapLeadingIntervals  limits the first intervals, distorted by the gap before the swipe
//   ClassifyIntervals    pulse intervals -> F2F bit text, with the bit period learned and tracked
//   FrameTrack2          bit text -> framed bits (start sentinel .. end sentinel), read backwards
//                        once if needed, parity and LRC checked, a single wrong bit repaired
//   BitsToCharacters     framed bits -> characters
// DecodeTrack2 sweeps ten detection sensitivities and six timing-window sizes over these stages
// and returns the first error-free text of at least 16 characters, or the last framed one.
//
// All working state lives in one Track2Decoder object, reset at every DecodeTrack2 call. One
// caller at a time; the object needs no locking and can be reused for any number of buffers.
#pragma once

#include <cstdint>
#include <vector>

namespace swipe {

// One detected pulse.
struct PeakRecord {
  std::int32_t position;   // sample index from the start of the buffer
  std::int32_t amplitude;  // the sample value there, as recorded
  std::int32_t interval;   // position minus the reference position of the previous pulse
};

// Where the decoder's diagnostic lines go: one complete line per call, without end of line.
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void WriteLine(const char* text) = 0;
};

// Writes each line to the process's standard output, ends it and flushes it.
class StdoutSink final : public DiagnosticSink {
 public:
  void WriteLine(const char* text) override;
};

// The working values FindPeaks ended with.
struct PeakThresholds {
  int baseline = 0;
  int upper = 0;  // Thi
  int lower = 0;  // Tlo
};

// What the last DecodeTrack2 call did, for tests and measurements.
struct DecodeStats {
  int passes = 0;               // peak detections run
  int attemptsClassified = 0;   // ClassifyIntervals calls
  int attemptsFramed = 0;       // attempts whose frame was non-empty ("Temp decoded: " lines)
  bool accepted = false;        // the sweep stopped at an error-free text of 16 characters or more
};

class Track2Decoder {
 public:
  static constexpr int kBitTextSize = 16384;             // every bit and character text buffer
  static constexpr int kMaxBits = kBitTextSize - 1;      // longest text, NUL excluded
  static constexpr int kMinResultLength = 16;
  static constexpr int kMinByteCount = 300;
  static constexpr int kZeroedBytes = 50;
  static constexpr int kPasses = 10;
  static constexpr int kLargestWindow = 7;
  static constexpr int kSmallestWindow = 2;

  // `sink` receives the "Temp decoded: " lines; null means standard output. It must outlive the
  // decoder.
  explicit Track2Decoder(DiagnosticSink* sink = nullptr);
  Track2Decoder(const Track2Decoder&) = delete;
  Track2Decoder& operator=(const Track2Decoder&) = delete;

  // Decodes one buffer of 16-bit signed little-endian mono PCM at 44100 samples per second.
  // `byteCount` counts bytes; an odd last byte is ignored. Zeroes the first 50 bytes of
  // `samples` (when at least 300 bytes are given). Returns the Track 2 text (16 characters or
  // more) or the empty text; the text stays valid until the next call on this object.
  const char* DecodeTrack2(unsigned char* samples, std::int32_t byteCount);

  // --- Stages, each usable on its own -------------------------------------------------------

  // Rebuilds PeakList() from the samples, using SensitivityFraction().
  void FindPeaks(const unsigned char* samples, std::int32_t byteCount);
  // With more than 30 records, clamps the intervals of records 0..19 to the largest interval
  // among records 10..19.
  void CapLeadingIntervals();
  // The F2F bit text of PeakList() read with a bit-period ring of `windowSize` slots (2..7).
  // Empty when the list is empty; at most kMaxBits bits.
  const char* ClassifyIntervals(int windowSize);
  // The framed bits of `bits` (a NUL-terminated text of "0" and "1", at most kMaxBits long, read
  // only up to that bound), or the empty text. Fills ParityErrors() and LrcErrors(); sets
  // ReversedOnce() when it reads the text backwards.
  const char* FrameTrack2(const char* bits);
  void CheckParity(const char* bits);
  void CheckLrc(const char* bits);
  // Characters of every complete group of `bitsPerChar` bits (value of the bits before the
  // last, least significant first, shown from "0"); empty for `bitsPerChar` bits or fewer.
  const char* BitsToCharacters(const char* bits, int bitsPerChar);

  // --- State shared by the stages -----------------------------------------------------------

  double SensitivityFraction() const { return sensitivityFraction_; }
  void SetSensitivityFraction(double f) { sensitivityFraction_ = f; }
  double TimingTolerance() const { return timingTolerance_; }
  std::vector<PeakRecord>& PeakList() { return peakList_; }
  const std::vector<PeakRecord>& PeakList() const { return peakList_; }
  const std::vector<int>& ParityErrors() const { return parityErrors_; }
  const std::vector<int>& LrcErrors() const { return lrcErrors_; }
  bool ReversedOnce() const { return reversedOnce_; }
  // Empties both error lists and clears ReversedOnce(), as the driver does before an attempt.
  void BeginAttempt();
  // Whether the last FrameTrack2 that framed anything ended at an end sentinel found at a
  // character boundary. A frame that ran to the end of the text or stopped at a misaligned
  // "11111" did not, and the driver counts it as an error.
  bool FrameEndedAtSentinel() const { return frameEndedAtSentinel_; }

  const DecodeStats& LastStats() const { return stats_; }
  const PeakThresholds& LastThresholds() const { return thresholds_; }

 private:
  const char* FrameOnce(int length);
  void LoadSamples(const unsigned char* samples, std::int32_t byteCount);
  void ScanPeaks();
  void Reset();

  DiagnosticSink* sink_;
  StdoutSink stdoutSink_;

  double sensitivityFraction_ = 0.05;
  double timingTolerance_ = 0.2;
  std::vector<PeakRecord> peakList_;
  std::vector<PeakRecord> candidates_;
  std::vector<std::int16_t> pcm_;   // the samples of the buffer being decoded
  std::vector<int> parityErrors_;
  std::vector<int> lrcErrors_;
  bool reversedOnce_ = false;
  bool frameEndedAtSentinel_ = false;
  DecodeStats stats_;
  PeakThresholds thresholds_;

  char classified_[kBitTextSize];   // ClassifyIntervals' bit text
  char framed_[kBitTextSize];       // FrameTrack2's working text B, also its result
  char reversed_[kBitTextSize];     // the bit text read backwards
  char characters_[kBitTextSize];   // BitsToCharacters' text
  char driverBits_[kBitTextSize];   // the driver's copies of a stage's output
  char driverFramed_[kBitTextSize];
  char resultText_[kBitTextSize];
  char line_[kBitTextSize + 16];    // "Temp decoded: " + text
};

}  // namespace swipe
