// Synthetic finger images: ridges that follow the finger's orientation field, the same finger
// recognisable across touches, and exact repetition for the same finger and touch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>

#include "finger_pattern.h"
#include "impression.h"
#include "ridge_blocks.h"

namespace {

using namespace fingersim;

constexpr double kPi = 3.14159265358979323846;

// Pearson correlation of two equally sized images.
double Correlation(const GreyImage& a, const GreyImage& b) {
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  const double n = static_cast<double>(a.pixels.size());
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double x = a.pixels[i], y = b.pixels[i];
    sa += x;
    sb += y;
    saa += x * x;
    sbb += y * y;
    sab += x * y;
  }
  return (sab - sa * sb / n) / std::sqrt((saa - sa * sa / n) * (sbb - sb * sb / n));
}

// Smallest angle between two ridge orientations (each in [0, pi)).
double OrientationGap(double a, double b) {
  double d = std::fabs(a - b);
  return std::fmin(d, kPi - d);
}

// Shapes of the first fingers, one of each class the generator makes.
std::vector<std::int64_t> OneFingerPerClass() {
  std::vector<std::int64_t> fingers;
  std::vector<bool> seen(5, false);
  for (std::int64_t f = 0; f < 400 && fingers.size() < 5; ++f) {
    const auto kind = static_cast<int>(ShapeOfFinger(f).kind);
    if (!seen[kind]) {
      seen[kind] = true;
      fingers.push_back(f);
    }
  }
  return fingers;
}

TEST(FingerPattern, EveryPatternClassOccursAndSingularPointsTurnTheFieldByHalfATurn) {
  const auto fingers = OneFingerPerClass();
  ASSERT_EQ(fingers.size(), 5u) << "arch, tented arch, both loops and whorl";
  for (std::int64_t finger : fingers) {
    const PatternShape shape = ShapeOfFinger(finger);
    // Going once around a core the ridge direction turns by +pi, around a delta by -pi (both
    // counted in the sense in which the angles grow: clockwise on the screen).
    auto winding = [&](const PatternPoint& p) {
      double total = 0;
      double previous = RidgeOrientation(shape, p.x + 12, p.y);
      for (int step = 1; step <= 360; ++step) {
        const double a = step * 2 * kPi / 360;
        const double now = RidgeOrientation(shape, p.x + 12 * std::cos(a), p.y + 12 * std::sin(a));
        double d = now - previous;
        if (d > kPi / 2) d -= kPi;
        if (d < -kPi / 2) d += kPi;
        total += d;
        previous = now;
      }
      return total;
    };
    for (const PatternPoint& core : shape.cores) EXPECT_NEAR(winding(core), kPi, 0.01) << "finger " << finger;
    for (const PatternPoint& delta : shape.deltas) EXPECT_NEAR(winding(delta), -kPi, 0.01) << "finger " << finger;
  }
}

TEST(FingerImage, RidgesRunAlongTheFingersOrientationField) {
  for (std::int64_t finger : OneFingerPerClass()) {
    const MasterPattern master = GrowMasterPattern(finger);
    TouchVariation still;  // centred, upright, normal pressure
    const GreyImage image = Impress(master, still, kDefaultImageWidth, kDefaultImageHeight);
    const RidgeBlocks blocks = AnalyseRidgeBlocks(image);
    ASSERT_GE(blocks.RidgedCount(), 150) << "finger " << finger << ": too little print";

    int compared = 0, aligned = 0;
    for (int by = 0; by < blocks.rows; ++by) {
      for (int bx = 0; bx < blocks.columns; ++bx) {
        if (!blocks.Interior(bx, by)) continue;
        const double x = (bx + 0.5) * RidgeBlocks::kBlockSide - image.width / 2.0;
        const double y = (by + 0.5) * RidgeBlocks::kBlockSide - image.height / 2.0;
        bool nearSingularity = false;
        for (const auto& p : master.shape().cores) nearSingularity |= std::hypot(x - p.x, y - p.y) < 40;
        for (const auto& p : master.shape().deltas) nearSingularity |= std::hypot(x - p.x, y - p.y) < 40;
        if (nearSingularity) continue;
        ++compared;
        const double expected = RidgeOrientation(master.shape(), x, y);
        aligned += OrientationGap(blocks.orientation[by * blocks.columns + bx], expected) < 20 * kPi / 180;
      }
    }
    ASSERT_GT(compared, 60);
    EXPECT_GT(aligned, compared * 85 / 100) << "finger " << finger << ": " << aligned << " of " << compared;
  }
}

TEST(FingerImage, SameFingerAndTouchGiveTheSameImage) {
  const GreyImage a = SynthesizeFinger(3, 2);
  const GreyImage b = Impress(GrowMasterPattern(3), VariationOfTouch(3, 2), kDefaultImageWidth, kDefaultImageHeight);
  EXPECT_EQ(a.width, kDefaultImageWidth);
  EXPECT_EQ(a.height, kDefaultImageHeight);
  EXPECT_EQ(a.pixels, b.pixels) << "a cached pattern and a freshly grown one must agree";
  EXPECT_EQ(SynthesizeFinger(3, 2).pixels, a.pixels);
}

TEST(FingerImage, TouchesOfOneFingerShareRidgesThatOtherFingersLack) {
  const MasterPattern one = GrowMasterPattern(1);
  const MasterPattern two = GrowMasterPattern(2);
  TouchVariation first, second;
  first.noiseSeed = 11;
  second.noiseSeed = 12;  // same place, different contact and noise
  const GreyImage a = Impress(one, first, 300, 300);
  EXPECT_GT(Correlation(a, Impress(one, second, 300, 300)), 0.7);
  EXPECT_LT(std::fabs(Correlation(a, Impress(two, first, 300, 300))), 0.3);

  // Real touches move, turn and press differently: never identical, never far off.
  int distinct = 0;
  for (std::int64_t t = 0; t < 6; ++t) {
    const TouchVariation v = VariationOfTouch(1, t);
    EXPECT_LE(std::fabs(v.shiftX), 16.0);
    EXPECT_LE(std::fabs(v.shiftY), 16.0);
    EXPECT_LE(std::fabs(v.rotation), 8 * kPi / 180 + 1e-9);
    EXPECT_GE(v.pressure, 0.85);
    EXPECT_LT(v.pressure, 1.15);
    distinct += SynthesizeFinger(1, t).pixels != SynthesizeFinger(1, t + 1).pixels;
  }
  EXPECT_EQ(distinct, 6);
}

TEST(FingerImage, PrintSitsOnALightBackgroundAtEveryAcceptedSize) {
  struct Size {
    int width, height;
  };
  for (Size s : {Size{400, 400}, Size{500, 500}, Size{256, 360}, Size{1, 1}}) {
    const GreyImage image = SynthesizeFinger(4, 0, s.width, s.height);
    ASSERT_EQ(image.width, s.width);
    ASSERT_EQ(image.height, s.height);
    ASSERT_EQ(image.pixels.size(), static_cast<std::size_t>(s.width) * s.height);
    if (s.width < 256) continue;  // too small to show a print
    // Light corners; in the middle dark ridges and light valleys.
    double corners = 0, dark = 0, light = 0;
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) {
        const std::uint8_t v = image.at(x, y);
        if ((x < 20 || x >= s.width - 20) && (y < 20 || y >= s.height - 20)) corners += v;
        if (std::abs(2 * x - s.width) < 200 && std::abs(2 * y - s.height) < 200) {
          dark += v < 110;
          light += v > 190;
        }
      }
    }
    EXPECT_GT(corners / (4 * 20 * 20), 225.0) << s.width << "x" << s.height;
    EXPECT_GT(dark / (200 * 200), 0.25) << s.width << "x" << s.height;
    EXPECT_GT(light / (200 * 200), 0.15) << s.width << "x" << s.height;
  }
  for (Size s : {Size{0, 400}, Size{400, -1}, Size{kMaxImageSide + 1, 10}}) {
    const GreyImage none = SynthesizeFinger(4, 0, s.width, s.height);
    EXPECT_EQ(none.width, 0);
    EXPECT_TRUE(none.pixels.empty());
  }
}

}  // namespace
