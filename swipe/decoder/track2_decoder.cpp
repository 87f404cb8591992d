#include "track2_decoder.h"

#include <cstdio>
#include <cstring>

namespace swipe {
namespace {

constexpr int kCharBits = 5;             // 4 data bits, least significant first, then odd parity
constexpr int kBaselineFirst = 25;       // the baseline is measured on samples 25..34
constexpr int kBaselineLast = 34;
constexpr int kQuietLimit = 175;         // starting thresholds: baseline +/- 175
constexpr char kStartSentinel[] = "11010";
constexpr char kLinePrefix[] = "Temp decoded: ";
const char kEmptyText[] = "";

// Sample k of a buffer of 16-bit signed little-endian samples.
inline int SampleAt(const unsigned char* bytes, std::int32_t k) {
  const int v = bytes[2 * k] | (bytes[2 * k + 1] << 8);
  return v >= 32768 ? v - 65536 : v;
}

// Length of a bit text, never looking past the largest text a buffer holds.
inline int BoundedLength(const char* text) {
  int n = 0;
  while (n < Track2Decoder::kMaxBits && text[n] != '\0') ++n;
  return n;
}

// Whether a block of samples holds one beyond a threshold that has turned back.
constexpr int kStartBlock = 16;
inline bool BlockHasPulseStart(const std::int16_t* x, int thi, int tlo) {
  int hit = 0;
  for (int j = 0; j < kStartBlock; ++j) {
    const int s = x[j];
    const int p = x[j - 1];
    hit |= ((s > thi) & (s < p)) | ((s < tlo) & (s > p));
  }
  return hit != 0;
}

// A closed range X - T .. X + T.
inline bool InBand(double value, double centre, double tolerance) {
  return value >= centre - tolerance && value <= centre + tolerance;
}

}  // namespace

void StdoutSink::WriteLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

Track2Decoder::Track2Decoder(DiagnosticSink* sink) : sink_(sink ? sink : &stdoutSink_) {
  // Room for the error lists of the longest frame, so that attempts never allocate.
  parityErrors_.reserve(kBitTextSize / kCharBits + 1);
  lrcErrors_.reserve(8);
  std::memset(classified_, 0, sizeof classified_);
  std::memset(framed_, 0, sizeof framed_);
  std::memset(reversed_, 0, sizeof reversed_);
  std::memset(characters_, 0, sizeof characters_);
  std::memset(driverBits_, 0, sizeof driverBits_);
  std::memset(driverFramed_, 0, sizeof driverFramed_);
  std::memset(resultText_, 0, sizeof resultText_);
}

void Track2Decoder::Reset() {
  peakList_.clear();
  parityErrors_.clear();
  lrcErrors_.clear();
  timingTolerance_ = 0.2;
  reversedOnce_ = false;
  frameEndedAtSentinel_ = false;
  stats_ = DecodeStats{};
  // Every text is NUL-terminated where it ends; nothing reads past the terminator, so emptying
  // a text is enough (a full clear of 16 KiB per stage call would cost more than the stage).
  resultText_[0] = '\0';
}

void Track2Decoder::BeginAttempt() {
  parityErrors_.clear();
  lrcErrors_.clear();
  reversedOnce_ = false;
}

// ---------------------------------------------------------------------------------------------
// Driver

const char* Track2Decoder::DecodeTrack2(unsigned char* samples, std::int32_t byteCount) {
  Reset();
  if (samples == nullptr || byteCount < kMinByteCount) return kEmptyText;
  std::memset(samples, 0, static_cast<std::size_t>(byteCount < kZeroedBytes ? byteCount : kZeroedBytes));

  LoadSamples(samples, byteCount);
  bool accepted = false;
  for (int pass = 0; pass < kPasses && !accepted; ++pass) {
    sensitivityFraction_ = (pass + 0.5) / 10;
    bool errorSeen = false;
    ScanPeaks();
    CapLeadingIntervals();
    ++stats_.passes;

    for (int windowSize = kLargestWindow; windowSize >= kSmallestWindow; --windowSize) {
      BeginAttempt();
      if (peakList_.size() < 6) continue;
      const char* bits = ClassifyIntervals(windowSize);
      ++stats_.attemptsClassified;
      if (bits[0] == '\0') continue;
      std::strcpy(driverBits_, bits);

      parityErrors_.clear();
      lrcErrors_.clear();
      const char* framed = FrameTrack2(driverBits_);
      if (framed[0] == '\0') continue;
      std::strcpy(driverFramed_, framed);
      ++stats_.attemptsFramed;

      // Judge the attempt. An error stays seen for the rest of the pass. A frame that did not
      // stop at an end sentinel on a character boundary was cut short or misread: its
      // characters may all pass parity while the text is wrong, so it is an error too.
      if (!lrcErrors_.empty()) errorSeen = true;
      if (!frameEndedAtSentinel_) errorSeen = true;
      if (!parityErrors_.empty()) {
        errorSeen = true;
      } else if (!errorSeen) {
        accepted = true;
      }

      std::strcpy(resultText_, BitsToCharacters(driverFramed_, kCharBits));
      std::memcpy(line_, kLinePrefix, sizeof kLinePrefix - 1);
      std::strcpy(line_ + sizeof kLinePrefix - 1, resultText_);
      sink_->WriteLine(line_);

      if (accepted && std::strlen(resultText_) >= kMinResultLength) break;
      accepted = false;
    }
  }
  stats_.accepted = accepted;
  return std::strlen(resultText_) >= kMinResultLength ? resultText_ : kEmptyText;
}

// ---------------------------------------------------------------------------------------------
// Peak detection

void Track2Decoder::LoadSamples(const unsigned char* samples, std::int32_t byteCount) {
  // One zero sample in front: the sample before sample 0 reads as 0.
  const std::size_t n = samples == nullptr || byteCount < 2 ? 0 : static_cast<std::size_t>(byteCount / 2);
  if (pcm_.capacity() < n + 1) pcm_.reserve(n + 1);
  pcm_.resize(n + 1);
  pcm_[0] = 0;
  std::int16_t* out = pcm_.data() + 1;
  for (std::size_t k = 0; k < n; ++k) {
    out[k] = static_cast<std::int16_t>(SampleAt(samples, static_cast<std::int32_t>(k)));
  }
}

void Track2Decoder::FindPeaks(const unsigned char* samples, std::int32_t byteCount) {
  LoadSamples(samples, byteCount);
  ScanPeaks();
}

void Track2Decoder::ScanPeaks() {
  peakList_.clear();
  candidates_.clear();
  thresholds_ = {0, kQuietLimit, -kQuietLimit};
  const std::int32_t n = pcm_.empty() ? 0 : static_cast<std::int32_t>(pcm_.size() - 1);
  if (n == 0) return;
  const std::int16_t* x = pcm_.data() + 1;  // x[-1] is 0
  // A candidate needs at least three samples (back inside, outside, falling back), so this
  // reservation is never outgrown during the scan.
  const std::size_t most = static_cast<std::size_t>(n) / 2 + 2;
  if (candidates_.capacity() < most) candidates_.reserve(most);
  if (peakList_.capacity() < most) peakList_.reserve(most);

  // Baseline: the running mean of the leading samples while they stay quiet.
  int sum = 0;
  int base = 0;
  for (std::int32_t k = kBaselineFirst; k <= kBaselineLast && k < n; ++k) {
    const int s = x[k];
    if (s >= kQuietLimit || s <= -kQuietLimit) break;
    sum += s;
    base = sum / (k + 1);
  }

  const double f = sensitivityFraction_;
  int thi = kQuietLimit + base;
  int tlo = -kQuietLimit + base;
  // Each detected pulse widens its own threshold to a fraction of its height; the baseline is
  // subtracted twice on the upper side.
  auto raise = [&](int s) {
    const double c = static_cast<double>(s - base) * f - base;
    if (c > thi) thi = static_cast<int>(c);
  };
  auto lower = [&](int s) {
    const double c = base - static_cast<double>(base - s) * f;
    if (c < tlo) tlo = static_cast<int>(c);
  };

  // The scan alternates between two states, each in a loop of its own so that the common
  // case (nothing happens) costs little. P, the previous sample, is x[k - 1] throughout.
  int previous = 0;            // P
  int extreme = 0;             // M: the highest (or lowest) value of the current pulse
  std::int32_t reference = 0;  // L: position of the previous pulse
  std::int32_t k = 0;
  while (k < n) {
    // Outside a pulse: a sample beyond a threshold that has turned back starts one. Whole
    // blocks without such a sample are passed over first.
    while (k + kStartBlock <= n && !BlockHasPulseStart(x + k, thi, tlo)) k += kStartBlock;
    previous = x[k - 1];
    int s = 0;
    bool up = false;
    for (; k < n; ++k) {
      s = x[k];
      up = (s > thi) & (s < previous);
      const bool down = (s < tlo) & (s > previous);
      if (up | down) break;
      previous = s;
    }
    if (k >= n) break;
    candidates_.push_back({k, s, k - reference});
    extreme = previous;
    if (up) {
      raise(s);
    } else {
      lower(s);
    }
    previous = s;
    ++k;
    // Inside a pulse: a higher crest (deeper trough) moves the record; back inside the
    // thresholds ends the pulse.
    for (; k < n; ++k) {
      s = x[k];
      if (extreme > thi && s > extreme) {
        candidates_.back() = {k, s, k - reference};
        extreme = s;
        raise(s);
      } else if (extreme < tlo && s < extreme) {
        candidates_.back() = {k, s, k - reference};
        extreme = s;
        lower(s);
      } else if (tlo < s && s < thi) {
        reference = candidates_.back().position;
        previous = s;
        ++k;
        break;
      }
      previous = s;
    }
  }

  thresholds_ = {base, thi, tlo};

  // Final filter: a candidate that stays inside the final thresholds is dropped and its
  // interval goes to the next one. The last candidate is always kept.
  const std::size_t count = candidates_.size();
  if (count == 0) return;
  std::size_t kept = 0;
  std::int32_t carried = 0;
  for (std::size_t j = 0; j + 1 < count; ++j) {
    PeakRecord c = candidates_[j];
    c.interval += carried;
    if (tlo < c.amplitude && c.amplitude < thi) {
      carried = c.interval;
    } else {
      candidates_[kept++] = c;
      carried = 0;
    }
  }
  PeakRecord last = candidates_[count - 1];
  last.interval += carried;
  candidates_[kept++] = last;

  // The first pulse's interval counts from the start of the buffer: it is dropped.
  if (kept < 2) return;
  peakList_.assign(candidates_.begin() + 1, candidates_.begin() + static_cast<std::ptrdiff_t>(kept));
}

void Track2Decoder::CapLeadingIntervals() {
  if (peakList_.size() <= 30) return;
  std::int32_t maxGap = peakList_[10].interval;
  for (std::size_t i = 11; i < 20; ++i) {
    if (peakList_[i].interval > maxGap) maxGap = peakList_[i].interval;
  }
  for (std::size_t i = 0; i < 20; ++i) {
    if (peakList_[i].interval > maxGap) peakList_[i].interval = maxGap;
  }
}

// ---------------------------------------------------------------------------------------------
// Bit recovery

const char* Track2Decoder::ClassifyIntervals(int windowSize) {
  classified_[0] = '\0';
  const std::int64_t n = static_cast<std::int64_t>(peakList_.size());
  if (n == 0) return classified_;
  const int K = windowSize < kSmallestWindow ? kSmallestWindow
                : windowSize > kLargestWindow ? kLargestWindow : windowSize;
  const double tolerance = timingTolerance_;
  const PeakRecord* rec = peakList_.data();

  // Bit-period ring. 64-bit slots: sums of intervals can never overflow them.
  std::int64_t W[kLargestWindow];
  for (int j = 0; j < K; ++j) W[j] = rec[0].interval;

  // Learning: fill the ring before the first bit. A record that is twice the estimate shows
  // that the estimate was a half period: pairs of slots are merged and reading resumes there.
  // Each merge grows slot 0 for the intervals FindPeaks makes (all positive); the step bound
  // only matters for hand-made lists and stops the learning instead of looping.
  std::int64_t steps = 0;
  const std::int64_t stepBound = 64 * (n + K) + 1024;
  for (int c = 1; c < K && c < n && steps < stepBound; ++c, ++steps) {
    std::int64_t weighted = 0;
    for (int j = 0; j < c; ++j) weighted += (j + 1) * W[j];
    const double A = static_cast<double>(weighted) / (c * (c + 1) / 2);
    const double T = tolerance * A;
    const double H = A / 2;
    const std::int64_t e = rec[c].interval;
    if (InBand(e, A, T)) {
      W[c] = e;
    } else if (e <= H + T) {
      W[c] = 2 * e;
    } else if (InBand(e, 2 * A, T)) {
      const int half = c / 2;
      for (int j = 0; j < half; ++j) W[j] = W[2 * j] + W[2 * j + 1];
      W[half] = e;
      c = half;
    } else if (e > A + T) {
      W[c] = e;
    } else {
      W[c] = (A - e < e - H) ? e : 2 * e;
    }
  }

  // Decoding. The weighted sum of the ring is kept up to date as the ring turns: every slot
  // loses one weight and the slot written becomes the newest (exact integer arithmetic, so the
  // mean is the same as summed afresh).
  const double weightSum = K * (K + 1) / 2;
  int r = 0;
  bool halfPending = false;
  int length = 0;
  std::int64_t weighted = 0;
  std::int64_t total = 0;
  for (int j = 0; j < K; ++j) {
    weighted += (j + 1) * W[j];
    total += W[j];
  }
  for (std::int64_t i = 0; i < n && length < kMaxBits; ++i) {
    const double A = static_cast<double>(weighted) / weightSum;
    const double T = tolerance * A;
    const double H = A / 2;
    const std::int64_t e = rec[i].interval;
    const std::int64_t Wp = W[r == 0 ? K - 1 : r - 1];
    const std::int64_t Q = Wp / 2;
    std::int64_t P = 0;
    std::int64_t S = 0;
    bool same = false;
    if (i >= 1) {
      P = rec[i - 1].interval;
      S = P + e;
      same = static_cast<std::int64_t>(rec[i - 1].amplitude) * rec[i].amplitude >= 0;
    }

    auto turn = [&](std::int64_t x) {
      weighted += K * x - total;
      total += x - W[r];
      W[r] = x;
      r = r + 1 == K ? 0 : r + 1;
    };
    auto emit = [&](char bit, std::int64_t x) {
      classified_[length++] = bit;
      turn(x);
    };
    auto skip = [&]() { turn(W[r]); };
    auto hold = [&]() { halfPending = true; };

    if (InBand(e, A, T)) {                                    // 1: a whole bit period
      emit('0', e);
      halfPending = false;
    } else if (InBand(e, H, T)) {                             // 2: half a period
      if (!halfPending) {
        hold();
      } else {
        emit('1', S);
        halfPending = false;
      }
    } else if (i == 0 || i == n - 1) {                        // 3
      skip();
    } else if (e > A + T) {                                   // 4: too long for a zero
      if (halfPending || same) {
        skip();
      } else if (InBand(P, A, T)) {
        emit('0', e);
      } else if (InBand(e, Wp, T)) {
        emit('0', e);
      } else {
        skip();
      }
    } else if (H + T < e && e < A - T) {                      // 5, 6: between half and whole
      if (halfPending) {
        if (same) {
          emit('1', S);
          halfPending = false;
        } else if (InBand(S, A, T)) {
          emit('0', e);
        } else if (InBand(S, Wp, T)) {
          emit('0', e);
        } else if (InBand(e, Q, T)) {
          emit('0', e);
        } else if (e - H <= A - e) {
          emit('1', S);
          halfPending = false;
        } else {
          emit('0', e);
        }
      } else {
        if (InBand(P, A, T) || InBand(e, Wp, T)) {
          if (same) {
            emit('1', S);
            halfPending = true;
          } else {
            emit('0', e);
          }
        } else if (InBand(S, A, T)) {
          hold();
        } else if (InBand(P, H, T)) {
          hold();
        } else if (InBand(Wp + e, 1.5 * A, T)) {
          hold();
        } else if (e - H > A - e) {
          emit('0', e);
        } else {
          hold();
        }
      }
    } else if (e < H - T) {                                   // 7, 8: too short for a half
      if (halfPending) {
        emit('1', S);
        halfPending = false;
      } else if (InBand(Wp + e, 1.5 * A, T) || InBand(S, A, T) || InBand(P, H, T)) {
        halfPending = true;
        if (same) emit('1', S);
      } else {
        emit('1', S);
        halfPending = true;
      }
    }
  }
  classified_[length] = '\0';
  return classified_;
}

// ---------------------------------------------------------------------------------------------
// Character framing

const char* Track2Decoder::FrameTrack2(const char* bits) {
  frameEndedAtSentinel_ = false;
  const int length = BoundedLength(bits);
  // `bits` may be this decoder's own framed text.
  std::memmove(framed_, bits, static_cast<std::size_t>(length));
  framed_[length] = '\0';
  const char* result = FrameOnce(length);
  if (result != nullptr) return result;

  // Not framed forwards: the card may have been swiped the other way. Read it backwards once.
  if (reversedOnce_) return kEmptyText;
  reversedOnce_ = true;
  for (int i = 0; i < length; ++i) reversed_[i] = framed_[length - 1 - i];
  reversed_[length] = '\0';
  std::memcpy(framed_, reversed_, static_cast<std::size_t>(length) + 1);
  result = FrameOnce(length);
  return result != nullptr ? result : kEmptyText;
}

// Frames the text already copied into framed_. Null when no start sentinel follows the
// leading zeros (the text is left as it was).
const char* Track2Decoder::FrameOnce(int length) {
  char* B = framed_;
  int first = 0;
  while (first < length && B[first] != '1') ++first;
  if (first == length) first = 0;
  if (first == 0 || length - first < kCharBits ||
      std::memcmp(B + first, kStartSentinel, kCharBits) != 0) {
    return nullptr;
  }
  std::memmove(B, B + first, static_cast<std::size_t>(length - first) + 1);
  length -= first;

  // End sentinel: the first "11111" on a character boundary; failing that, the last one seen.
  int end = 0;
  bool aligned = false;
  int run = 0;
  for (int q = 0; q < length; ++q) {
    run = B[q] == '1' ? run + 1 : 0;
    if (run >= 5) {
      const int p = q - 4;
      if (p >= 1) {
        end = p;
        if (p % kCharBits == 0) {
          aligned = true;
          break;
        }
      }
    }
  }
  frameEndedAtSentinel_ = aligned;

  if (end != 0) {
    if (length >= end + 2 * kCharBits) {
      // The LRC character follows the end sentinel: check it, then drop it.
      B[end + 2 * kCharBits] = '\0';
      CheckLrc(B);
    }
    length = end + kCharBits;
    B[length] = '\0';
  }

  CheckParity(B);

  // One wrong bit that both checks point at is flipped back; the error lists stay as found.
  if (parityErrors_.size() == 1) {
    const int c = parityErrors_[0];
    if (lrcErrors_.size() == 1 && lrcErrors_[0] != 5) {
      const long long index = static_cast<long long>(kCharBits) * c + lrcErrors_[0];
      if (index >= 0 && index < length) B[index] = B[index] == '0' ? '1' : '0';
    } else if (lrcErrors_.empty()) {
      const int index = kCharBits * c + 4;
      B[index] = B[index] == '0' ? '1' : '0';
    }
  }
  return B;
}

void Track2Decoder::CheckParity(const char* bits) {
  parityErrors_.clear();
  const int length = BoundedLength(bits);
  const int chars = length / kCharBits;
  for (int c = 0; c < chars; ++c) {
    const char* ch = bits + kCharBits * c;
    const int ones = (ch[0] == '1') + (ch[1] == '1') + (ch[2] == '1') + (ch[3] == '1');
    if (ones % 2 == (ch[4] == '1' ? 1 : 0)) parityErrors_.push_back(c);
  }
}

void Track2Decoder::CheckLrc(const char* bits) {
  lrcErrors_.clear();
  const int length = BoundedLength(bits);
  if (length % kCharBits != 0) return;
  const int m = length / kCharBits;
  if (m == 0) return;
  const char* lrc = bits + kCharBits * (m - 1);
  for (int j = 0; j < 4; ++j) {
    int ones = 0;
    for (int c = 0; c < m - 1; ++c) ones += bits[kCharBits * c + j] == '1';
    if (ones % 2 != (lrc[j] == '1' ? 1 : 0)) lrcErrors_.push_back(j);
  }
  const int ones = (lrc[0] == '1') + (lrc[1] == '1') + (lrc[2] == '1') + (lrc[3] == '1');
  if (ones % 2 == (lrc[4] == '1' ? 1 : 0)) lrcErrors_.push_back(5);
}

const char* Track2Decoder::BitsToCharacters(const char* bits, int bitsPerChar) {
  characters_[0] = '\0';
  const int length = BoundedLength(bits);
  if (bitsPerChar < 1 || length <= bitsPerChar) return characters_;
  int out = 0;
  for (int start = 0; start + bitsPerChar <= length; start += bitsPerChar) {
    int value = 0;
    for (int j = 0; j < bitsPerChar - 1 && j < 30; ++j) {
      if (bits[start + j] == '1') value |= 1 << j;
    }
    characters_[out++] = static_cast<char>(48 + value);
  }
  characters_[out] = '\0';
  return characters_;
}

}  // namespace swipe
