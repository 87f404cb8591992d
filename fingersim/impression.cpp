#include "impression.h"

#include <algorithm>
#include <cmath>

#include "pattern_cache.h"
#include "random.h"

namespace fingersim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Smooth noise in [0, 1]: random values on a lattice of `scale` pixels, blended smoothly.
class ValueNoise {
 public:
  ValueNoise(std::uint64_t seed, double scale) : seed_(seed), scale_(scale) {}

  double At(double x, double y) const {
    const double gx = x / scale_, gy = y / scale_;
    const double fx0 = std::floor(gx), fy0 = std::floor(gy);
    const auto ix = static_cast<std::int64_t>(fx0), iy = static_cast<std::int64_t>(fy0);
    const double tx = Fade(gx - fx0), ty = Fade(gy - fy0);
    const double top = Lattice(ix, iy) + (Lattice(ix + 1, iy) - Lattice(ix, iy)) * tx;
    const double bottom = Lattice(ix, iy + 1) + (Lattice(ix + 1, iy + 1) - Lattice(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
  }

 private:
  static double Fade(double t) { return t * t * (3 - 2 * t); }
  double Lattice(std::int64_t x, std::int64_t y) const {
    return static_cast<double>(Seed(seed_, static_cast<std::uint64_t>(x), static_cast<std::uint64_t>(y)) >> 11) *
           (1.0 / 9007199254740992.0);
  }

  std::uint64_t seed_;
  double scale_;
};

double Smoothstep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

}  // namespace

TouchVariation VariationOfTouch(std::int64_t finger, std::int64_t touch) {
  Random rng(Seed(0x70C4, static_cast<std::uint64_t>(finger), static_cast<std::uint64_t>(touch)));
  TouchVariation v;
  v.shiftX = std::clamp(rng.Normal() * 6.0, -16.0, 16.0);
  v.shiftY = std::clamp(rng.Normal() * 6.0, -16.0, 16.0);
  v.rotation = std::clamp(rng.Normal() * 3.0, -8.0, 8.0) * kPi / 180.0;
  v.pressure = rng.Between(0.85, 1.15);
  v.noiseSeed = rng.Next();
  return v;
}

GreyImage Impress(const MasterPattern& master, const TouchVariation& touch, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return {};
  GreyImage image(width, height);
  const double centre = MasterPattern::kSize / 2.0;
  const double c = std::cos(touch.rotation), s = std::sin(touch.rotation);

  // The contact area: an upright ellipse around the finger's centre, larger under pressure,
  // with a ragged edge.
  const double reach = std::sqrt(touch.pressure);
  const double halfWidth = 142.0 * reach, halfHeight = 186.0 * reach;
  const ValueNoise edge(Seed(touch.noiseSeed, 1), 38.0);
  const ValueNoise dryness(Seed(touch.noiseSeed, 2), 22.0);
  const ValueNoise blotches(Seed(touch.noiseSeed, 3), 7.0);
  Random grain(Seed(touch.noiseSeed, 4));

  // Firm pressure spreads the ink: the ridge threshold drops and ridges get wider.
  const double threshold = 0.32 - 1.2 * (touch.pressure - 1.0);
  const double ox = width / 2.0, oy = height / 2.0;

  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Position relative to the finger's centre, then turned into the master's frame.
      const double rx = x + 0.5 - ox - touch.shiftX, ry = y + 0.5 - oy - touch.shiftY;
      double e = std::sqrt((rx * rx) / (halfWidth * halfWidth) + (ry * ry) / (halfHeight * halfHeight));
      e += 0.10 * (edge.At(x, y) - 0.5);
      const double contact = Smoothstep(1.0, 0.86, e);

      double grey = 246.0;
      if (contact > 0) {
        const float m = master.Sample(centre + c * rx - s * ry, centre + s * rx + c * ry);
        const double ink = 1.0 / (1.0 + std::exp(-4.0 * (m - threshold)));
        // Dry patches print lighter, a few pores and specks break the ridges.
        const double dry = 0.62 + 0.38 * Smoothstep(0.15, 0.65, dryness.At(x, y));
        const double speck = blotches.At(x, y) > 0.86 ? 0.55 : 1.0;
        grey -= 196.0 * ink * dry * speck * contact;
      }
      grey += grain.Normal() * 4.0;
      image.at(x, y) = static_cast<std::uint8_t>(std::clamp(std::lround(grey), 0L, 255L));
    }
  }
  return image;
}

GreyImage SynthesizeFinger(std::int64_t finger, std::int64_t touch, int width, int height) {
  return Impress(*CachedMasterPattern(finger), VariationOfTouch(finger, touch), width, height);
}

}  // namespace fingersim
