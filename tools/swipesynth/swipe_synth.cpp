#include "swipe_synth.h"

#include <cmath>
#include <cstdio>

namespace swipe {
namespace {

constexpr double kPi = 3.14159265358979323846;

// sin(x) from arithmetic alone, so that every platform gets the same bits.
double Sine(double x) {
  const double twoPi = 2 * kPi;
  x -= twoPi * std::floor(x / twoPi + 0.5);  // now in [-pi, pi]
  if (x > kPi / 2) x = kPi - x;
  if (x < -kPi / 2) x = -kPi - x;           // now in [-pi/2, pi/2]
  const double x2 = x * x;
  // Taylor series to x^15: error below 1e-12 on the reduced range.
  double term = x;
  double sum = x;
  for (int k = 1; k <= 7; ++k) {
    term = -term * x2 / ((2 * k) * (2 * k + 1));
    sum += term;
  }
  return sum;
}

double Pulse(PulseShape shape, double x) {
  switch (shape) {
    case PulseShape::bell: {
      if (x <= -4 || x >= 4) return 0;
      double v = 1 - x * x / 16;
      v *= v;  // ^2
      v *= v;  // ^4
      v *= v;  // ^8
      return v;
    }
    case PulseShape::lorentzian: {
      if (x <= -20 || x >= 20) return 0;
      const double taper = 1 - x * x / 400;
      return taper * taper / (1 + x * x);
    }
  }
  return 0;
}

double PulseReach(PulseShape shape) { return shape == PulseShape::bell ? 4 : 20; }

}  // namespace

std::uint64_t SynthRandom::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double SynthRandom::Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

double SynthRandom::Normal() {
  double sum = 0;
  for (int i = 0; i < 12; ++i) sum += Uniform();
  return sum - 6;
}

bool IsTrack2Text(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '?') return false;
  }
  return true;
}

std::string CharacterBits(char c) {
  const int v = (c - '0') & 15;
  std::string bits;
  int ones = 0;
  for (int j = 0; j < 4; ++j) {
    const bool one = (v >> j) & 1;
    ones += one;
    bits += one ? '1' : '0';
  }
  bits += ones % 2 == 0 ? '1' : '0';
  return bits;
}

char LrcCharacter(const std::string& text) {
  int x = 0;
  for (char c : text) x ^= (c - '0') & 15;
  return static_cast<char>('0' + x);
}

std::string Track2Bits(const std::string& text, int leadingZeros, int trailingZeros) {
  std::string bits(static_cast<std::size_t>(leadingZeros > 0 ? leadingZeros : 0), '0');
  for (char c : text) bits += CharacterBits(c);
  bits += CharacterBits(LrcCharacter(text));
  bits.append(static_cast<std::size_t>(trailingZeros > 0 ? trailingZeros : 0), '0');
  return bits;
}

std::vector<Reversal> FluxReversals(const std::string& cardBits, const SwipeParams& params) {
  std::string bits = cardBits;
  if (params.backward) bits.assign(cardBits.rbegin(), cardBits.rend());
  SynthRandom random(params.seed ^ 0xA5A5A5A5u);
  const double phase = 2 * kPi * random.Uniform();
  const std::size_t n = bits.size();

  std::vector<Reversal> reversals;
  reversals.reserve(2 * n + 1);
  double t = params.leadingSilence;
  double period = params.startPeriod;
  for (std::size_t i = 0; i < n; ++i) {
    const double along = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
    period = params.startPeriod + (params.endPeriod - params.startPeriod) * along;
    // A faster hand means a shorter period: the wobble divides the period.
    period /= 1 + params.wobbleDepth * Sine(2 * kPi * params.wobbleCycles * along + phase);
    reversals.push_back({t, period});
    if (bits[i] == '1') reversals.push_back({t + period / 2, period});
    t += period;
  }
  reversals.push_back({t, period});  // closes the last cell
  return reversals;
}

std::vector<std::int16_t> SynthesizeSwipe(const std::string& text, const SwipeParams& params) {
  const std::string bits = Track2Bits(text, params.leadingZeros, params.trailingZeros);
  const std::vector<Reversal> reversals = FluxReversals(bits, params);
  const double end = reversals.back().time;
  const std::size_t count =
      static_cast<std::size_t>(std::ceil(end)) + static_cast<std::size_t>(params.trailingSilence > 0 ? params.trailingSilence : 0) + 1;

  std::vector<double> signal(count, 0.0);
  const double reach = PulseReach(params.shape);
  for (std::size_t k = 0; k < reversals.size(); ++k) {
    // The local bit period sets the pulse width: the head gap is fixed on the card.
    const double w = params.pulseWidth * reversals[k].period;
    const double width = w > 0.3 ? w : 0.3;
    const double sign = ((k % 2 == 0) == params.firstPulsePositive) ? 1.0 : -1.0;
    const double centre = reversals[k].time;
    const double lo = std::ceil(centre - reach * width);
    const double hi = std::floor(centre + reach * width);
    for (double s = lo < 0 ? 0 : lo; s <= hi && s < static_cast<double>(count); s += 1) {
      signal[static_cast<std::size_t>(s)] += sign * params.amplitude * Pulse(params.shape, (s - centre) / width);
    }
  }

  SynthRandom random(params.seed);
  std::vector<std::int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i) {
    double v = signal[i] + params.dcOffset;
    if (params.noise > 0) v += params.noise * random.Normal();
    v = std::floor(v + 0.5);
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    samples[i] = static_cast<std::int16_t>(v);
  }
  return samples;
}

std::vector<std::int16_t> SynthesizeNoise(int sampleCount, double rms, int dcOffset, std::uint64_t seed) {
  SynthRandom random(seed);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(sampleCount > 0 ? sampleCount : 0));
  for (auto& s : samples) {
    double v = std::floor(rms * random.Normal() + dcOffset + 0.5);
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    s = static_cast<std::int16_t>(v);
  }
  return samples;
}

std::vector<unsigned char> ToBytes(const std::vector<std::int16_t>& samples) {
  std::vector<unsigned char> bytes(2 * samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto u = static_cast<std::uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<unsigned char>(u & 0xFF);
    bytes[2 * i + 1] = static_cast<unsigned char>(u >> 8);
  }
  return bytes;
}

namespace {
void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void Put16(std::vector<unsigned char>& out, std::uint16_t v) {
  out.push_back(static_cast<unsigned char>(v & 0xFF));
  out.push_back(static_cast<unsigned char>(v >> 8));
}
}  // namespace

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(2 * samples.size());
  std::vector<unsigned char> header;
  header.reserve(44);
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  Put32(header, 36 + dataBytes);
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(header, 16);
  Put16(header, 1);                                        // PCM
  Put16(header, 1);                                        // mono
  Put32(header, static_cast<std::uint32_t>(sampleRate));
  Put32(header, static_cast<std::uint32_t>(sampleRate) * 2);
  Put16(header, 2);                                        // block align
  Put16(header, 16);                                       // bits per sample
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  Put32(header, dataBytes);

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::vector<unsigned char> data = ToBytes(samples);
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  if (ok && !data.empty()) ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace swipe
