// Deterministic pseudo-random numbers for the simulated scanner. Everything it makes (finger
// patterns, touches, templates) must come out the same for the same inputs on every build, so
// nothing here depends on the standard library's distributions.
#pragma once

#include <cstdint>

namespace fingersim {

// One step of SplitMix64: a well-mixed 64-bit value from any 64-bit input.
constexpr std::uint64_t Mix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A seed from a few integers, order-sensitive.
constexpr std::uint64_t Seed(std::uint64_t a, std::uint64_t b = 0, std::uint64_t c = 0) {
  return Mix64(Mix64(Mix64(a) ^ b) ^ c);
}

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return Mix64(state_);
  }

  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

  // Uniform in [lo, hi).
  double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }

  // Uniform in [0, n) for n > 0.
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

  // Roughly normal with mean 0 and deviation 1 (sum of four uniforms, rescaled).
  double Normal() {
    const double s = Unit() + Unit() + Unit() + Unit();
    return (s - 2.0) * 1.7320508075688772;
  }

 private:
  std::uint64_t state_;
};

}  // namespace fingersim
