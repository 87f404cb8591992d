#include "finger_pattern.h"

#include <algorithm>
#include <cmath>

#include "random.h"

namespace fingersim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Area grown on the master canvas: an ellipse around the centre, large enough for every
// placement a touch may take (impression.cpp) plus the filter's reach.
constexpr double kGrowHalfWidth = 210.0;
constexpr double kGrowHalfHeight = 258.0;

constexpr int kOrientationBins = 24;
constexpr int kKernelRadius = 7;
constexpr int kKernelSide = 2 * kKernelRadius + 1;
constexpr int kGrowthRounds = 18;
constexpr double kSeedDensity = 0.0012;

PatternPoint Jitter(Random& rng, double x, double y, double spread) {
  return {x + rng.Between(-spread, spread), y + rng.Between(-spread, spread)};
}

// Oriented band-pass kernels, one per orientation bin: a Gaussian envelope, wider along the
// ridge than across it, times a cosine across the ridge at the ridge frequency. Each kernel has
// no DC part and answers 1 to a matching ridge wave.
std::vector<float> MakeKernels(double period) {
  std::vector<float> kernels(static_cast<std::size_t>(kOrientationBins) * kKernelSide * kKernelSide);
  const double sigmaAcross = 0.36 * period;
  const double sigmaAlong = 0.50 * period;
  for (int b = 0; b < kOrientationBins; ++b) {
    const double theta = b * kPi / kOrientationBins;
    const double c = std::cos(theta), s = std::sin(theta);
    float* k = &kernels[static_cast<std::size_t>(b) * kKernelSide * kKernelSide];
    double sum = 0, envelope = 0;
    for (int dy = -kKernelRadius; dy <= kKernelRadius; ++dy) {
      for (int dx = -kKernelRadius; dx <= kKernelRadius; ++dx) {
        const double along = dx * c + dy * s;
        const double across = -dx * s + dy * c;
        const double e = std::exp(-across * across / (2 * sigmaAcross * sigmaAcross) -
                                  along * along / (2 * sigmaAlong * sigmaAlong));
        const double v = e * std::cos(2 * kPi * across / period);
        k[(dy + kKernelRadius) * kKernelSide + dx + kKernelRadius] = static_cast<float>(v);
        sum += v;
        envelope += e;
      }
    }
    // Remove the DC part (proportionally to the envelope), then scale to a unit response.
    double response = 0;
    for (int dy = -kKernelRadius; dy <= kKernelRadius; ++dy) {
      for (int dx = -kKernelRadius; dx <= kKernelRadius; ++dx) {
        const double along = dx * c + dy * s;
        const double across = -dx * s + dy * c;
        const double e = std::exp(-across * across / (2 * sigmaAcross * sigmaAcross) -
                                  along * along / (2 * sigmaAlong * sigmaAlong));
        float& v = k[(dy + kKernelRadius) * kKernelSide + dx + kKernelRadius];
        v = static_cast<float>(v - sum * e / envelope);
        response += v * std::cos(2 * kPi * across / period);
      }
    }
    for (int i = 0; i < kKernelSide * kKernelSide; ++i) k[i] = static_cast<float>(k[i] / response);
  }
  return kernels;
}

}  // namespace

PatternShape ShapeOfFinger(std::int64_t finger) {
  Random rng(Seed(0x5A4E, static_cast<std::uint64_t>(finger)));
  PatternShape shape;
  shape.period = rng.Between(8.4, 10.2);
  const std::uint32_t pick = rng.Below(100);
  if (pick < 5) {
    shape.kind = PatternClass::arch;
    shape.archLift = rng.Between(0.7, 1.3);
  } else if (pick < 10) {
    shape.kind = PatternClass::tentedArch;
    const PatternPoint core = Jitter(rng, 0, -20, 15);
    shape.cores.push_back(core);
    shape.deltas.push_back(Jitter(rng, core.x, core.y + 70, 10));
  } else if (pick < 66) {
    const bool left = pick < 38;
    shape.kind = left ? PatternClass::leftLoop : PatternClass::rightLoop;
    const PatternPoint core = Jitter(rng, 0, -30, 20);
    shape.cores.push_back(core);
    const double side = left ? 1.0 : -1.0;
    shape.deltas.push_back({core.x + side * rng.Between(95, 135), core.y + rng.Between(95, 125)});
  } else {
    shape.kind = PatternClass::whorl;
    const PatternPoint centre = Jitter(rng, 0, -30, 15);
    const double tilt = rng.Between(-0.6, 0.6);
    const double half = rng.Between(8, 22);
    shape.cores.push_back({centre.x - half * std::cos(tilt), centre.y - half * std::sin(tilt)});
    shape.cores.push_back({centre.x + half * std::cos(tilt), centre.y + half * std::sin(tilt)});
    shape.deltas.push_back(Jitter(rng, centre.x - 120, centre.y + 105, 15));
    shape.deltas.push_back(Jitter(rng, centre.x + 120, centre.y + 105, 15));
  }
  return shape;
}

double RidgeOrientation(const PatternShape& shape, double x, double y) {
  // The zero-pole model: every core turns the field by +1/2 of the angle seen from it, every
  // delta by -1/2 (computed with y upwards, then mirrored for the screen).
  double up;
  if (shape.kind == PatternClass::arch) {
    const double s = 95.0;
    const double below = 1.0 / (1.0 + std::exp((y - 30.0) / 45.0));
    up = std::atan(-shape.archLift * (x / s) * std::exp(-x * x / (2 * s * s)) * below);
  } else {
    double sum = 0;
    for (const PatternPoint& c : shape.cores) sum += std::atan2(-(y - c.y), x - c.x);
    for (const PatternPoint& d : shape.deltas) sum -= std::atan2(-(y - d.y), x - d.x);
    up = 0.5 * sum;
  }
  double theta = std::fmod(-up, kPi);
  if (theta < 0) theta += kPi;
  return theta;
}

float MasterPattern::Sample(double x, double y) const {
  if (!(x >= 0 && y >= 0 && x < kSize - 1 && y < kSize - 1)) return 0.0f;
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const float fx = static_cast<float>(x - x0), fy = static_cast<float>(y - y0);
  const float* p = &ridges_[static_cast<std::size_t>(y0) * kSize + x0];
  const float top = p[0] + (p[1] - p[0]) * fx;
  const float bottom = p[kSize] + (p[kSize + 1] - p[kSize]) * fx;
  return top + (bottom - top) * fy;
}

MasterPattern GrowMasterPattern(std::int64_t finger) {
  MasterPattern master;
  master.shape_ = ShapeOfFinger(finger);
  constexpr int n = MasterPattern::kSize;
  constexpr double centre = n / 2.0;

  // The grown pixels, each with its orientation bin.
  std::vector<int> area;
  std::vector<std::uint8_t> bin(static_cast<std::size_t>(n) * n, 0);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const double dx = (x - centre) / kGrowHalfWidth, dy = (y - centre) / kGrowHalfHeight;
      if (dx * dx + dy * dy > 1.0) continue;
      const double theta = RidgeOrientation(master.shape_, x - centre, y - centre);
      bin[static_cast<std::size_t>(y) * n + x] =
          static_cast<std::uint8_t>(static_cast<int>(std::lround(theta * kOrientationBins / kPi)) %
                                    kOrientationBins);
      area.push_back(y * n + x);
    }
  }

  const std::vector<float> kernels = MakeKernels(master.shape_.period);
  Random rng(Seed(0x6E0D, static_cast<std::uint64_t>(finger)));
  std::vector<float> field(static_cast<std::size_t>(n) * n, 0.0f);
  // Sparse seeds: every seed starts a ridge system of its own, and where two meet the ridges
  // fork or end, so the seed density sets how many minutiae the finger has.
  for (int p : area) {
    if (rng.Unit() < kSeedDensity) field[p] = static_cast<float>(rng.Between(-1.0, 1.0));
  }

  std::vector<float> next(field.size(), 0.0f);
  auto filter = [&] {
    double energy = 0;
    for (int p : area) {
      const float* k = &kernels[static_cast<std::size_t>(bin[p]) * kKernelSide * kKernelSide];
      const float* src = &field[p - kKernelRadius * n - kKernelRadius];
      float acc = 0;
      for (int ky = 0; ky < kKernelSide; ++ky, src += n, k += kKernelSide) {
        for (int kx = 0; kx < kKernelSide; ++kx) acc += k[kx] * src[kx];
      }
      next[p] = acc;
      energy += static_cast<double>(acc) * acc;
    }
    return std::sqrt(energy / static_cast<double>(area.size())) + 1e-9;
  };

  for (int round = 0; round < kGrowthRounds; ++round) {
    const double rms = filter();
    const float gain = static_cast<float>(1.8 / rms);
    for (int p : area) field[p] = std::clamp(next[p] * gain, -1.0f, 1.0f);
  }
  const double rms = filter();
  master.ridges_.assign(field.size(), 0.0f);
  for (int p : area) master.ridges_[p] = std::clamp(static_cast<float>(next[p] / rms), -1.6f, 1.6f);
  return master;
}

}  // namespace fingersim
