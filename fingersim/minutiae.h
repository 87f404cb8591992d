// Minutiae of a finger image: where ridges end or fork. The image is binarised against its
// local mean, the ridges are thinned to one-pixel lines, and every line pixel whose neighbours
// cross it once (an ending) or three times (a fork) is a minutia. Only minutiae well inside the
// print count, and pairs closer than a ridge period (broken ridges, spurs) are dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "grey_image.h"
#include "ridge_blocks.h"

namespace fingersim {

enum class MinutiaKind : std::uint8_t { ending = 1, fork = 3 };

struct Minutia {
  int x = 0;
  int y = 0;
  double angle = 0;  // radians in [0, 2 pi): along the ridge, pointing into the minutia
  MinutiaKind kind = MinutiaKind::ending;
};

// Minutiae ordered from the centre of the print outwards (ties by row, then column).
std::vector<Minutia> FindMinutiae(const GreyImage& image, const RidgeBlocks& blocks);

}  // namespace fingersim
