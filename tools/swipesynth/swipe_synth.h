// Swipe synthesizer: the sound a magnetic-stripe reader sends to the sound input when a card
// with a given Track 2 text is swiped.
//
//   text -> bits   clocking zeros, every character as 4 data bits (least significant first) and
//                  an odd-parity bit, the LRC character, trailing zeros
//   bits -> flux   F2F: a reversal at the start of every bit cell, another in the middle of a one
//   flux -> PCM    one pulse per reversal, alternating polarity, at a bit period that changes
//                  along the card (ramp and wobble), plus white noise and a DC offset;
//                  16-bit mono at 44100 samples per second
//
// Deterministic for a given seed, and the same on every platform: only +, -, *, / and sqrt
// are used on doubles (no library transcendental functions, no standard distributions).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swipe {

enum class PulseShape {
  bell,        // (1 - x^2/16)^8 on |x| < 4: a Gaussian look-alike with compact support
  lorentzian,  // 1 / (1 + x^2), tapered to zero at |x| = 20: long tails, like a real head
};

struct SwipeParams {
  double startPeriod = 20.0;   // bit period, in samples, of the first bit read
  double endPeriod = 20.0;     // and of the last one; linear in between (along the card)
  double wobbleDepth = 0.0;    // relative speed wobble, e.g. 0.05 for +/- 5 %
  double wobbleCycles = 2.0;   // wobble cycles along the whole swipe
  double amplitude = 8000.0;   // height of one isolated pulse
  PulseShape shape = PulseShape::bell;
  double pulseWidth = 0.12;    // pulse width (x = 1) as a fraction of the local bit period
  double noise = 0.0;          // RMS of the white noise, in sample units
  int dcOffset = 0;
  int leadingSilence = 4410;   // samples before the first pulse
  int trailingSilence = 4410;  // samples after the last one
  int leadingZeros = 25;       // clocking zeros before the start sentinel
  int trailingZeros = 25;      // and after the LRC character
  bool backward = false;       // card swiped the other way: the bits arrive last first
  bool firstPulsePositive = true;
  std::uint64_t seed = 1;      // noise and wobble phase
};

// True when every character of `text` is one of "0" ... "?" (the 16 Track 2 codes).
bool IsTrack2Text(const std::string& text);

// The 5-bit code of one character: 4 data bits, least significant first, then odd parity.
std::string CharacterBits(char c);

// The LRC character of a text: the even parity of each data-bit column over all characters.
char LrcCharacter(const std::string& text);

// The bits recorded on the card, in card order (not reversed for a backward swipe).
std::string Track2Bits(const std::string& text, int leadingZeros, int trailingZeros);

// One flux reversal: where it is recorded (in samples, fractional) and the bit period there.
struct Reversal {
  double time;
  double period;
};

// The flux reversals of `bits` (card order) in recording order.
std::vector<Reversal> FluxReversals(const std::string& bits, const SwipeParams& params);

// The recorded samples of a swipe of `text` (which must satisfy IsTrack2Text).
std::vector<std::int16_t> SynthesizeSwipe(const std::string& text, const SwipeParams& params);

// Samples as the little-endian bytes the decoder takes.
std::vector<unsigned char> ToBytes(const std::vector<std::int16_t>& samples);

// A 16-bit mono PCM WAV file at `sampleRate`. False when the file can't be written.
bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples,
              int sampleRate = 44100);

// White-noise-only buffer (no swipe), e.g. a recording with nothing swiped.
std::vector<std::int16_t> SynthesizeNoise(int sampleCount, double rms, int dcOffset,
                                          std::uint64_t seed);

// Deterministic generator (splitmix64) used for noise and wobble phase.
class SynthRandom {
 public:
  explicit SynthRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  double Uniform();   // [0, 1)
  double Normal();    // mean 0, variance 1 (sum of 12 uniforms)
 private:
  std::uint64_t state_;
};

}  // namespace swipe
