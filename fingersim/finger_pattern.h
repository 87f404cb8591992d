// The master ridge pattern of one finger: the finger's class (arch, loop, whorl), its singular
// points (cores and deltas), the ridge orientation field they imply, and the ridges grown along
// that field. Every touch of the finger (impression.h) is a view of this one pattern, so
// touches of the same finger share their ridges and differ only in placement and contact.
#pragma once

#include <cstdint>
#include <vector>

namespace fingersim {

enum class PatternClass { arch, tentedArch, leftLoop, rightLoop, whorl };

// A point relative to the pattern's centre, in pixels at 500 dpi; y grows downwards.
struct PatternPoint {
  double x = 0;
  double y = 0;
};

struct PatternShape {
  PatternClass kind = PatternClass::arch;
  std::vector<PatternPoint> cores;
  std::vector<PatternPoint> deltas;
  double period = 9.0;    // ridge period in pixels
  double archLift = 0.0;  // steepness of an arch's hump (arches only)
};

// The shape of a finger number: the same number always gives the same shape; most numbers are
// loops, fewer whorls, few arches, as on real hands.
PatternShape ShapeOfFinger(std::int64_t finger);

// Ridge direction at (x, y) relative to the centre, in radians in [0, pi): the angle of the
// ridge line, 0 horizontal, growing clockwise on the screen (y downwards).
double RidgeOrientation(const PatternShape& shape, double x, double y);

// Ridges of one finger on a square canvas, centred on the pattern's centre.
class MasterPattern {
 public:
  static constexpr int kSize = 576;

  // Ridge strength at canvas point (x, y) by bilinear interpolation: about +1 on a ridge,
  // about -1 in a valley, 0 outside the grown area.
  float Sample(double x, double y) const;

  const PatternShape& shape() const { return shape_; }

 private:
  friend MasterPattern GrowMasterPattern(std::int64_t finger);
  PatternShape shape_;
  std::vector<float> ridges_;  // kSize x kSize, rows from the top
};

// Grows the ridges of a finger: oriented band-pass filtering of random seeds, repeated until
// the ridges have settled along the orientation field. Deterministic for the finger number.
MasterPattern GrowMasterPattern(std::int64_t finger);

}  // namespace fingersim
