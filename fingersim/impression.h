// One touch of a finger on the simulated scanner: the finger's master pattern seen through a
// contact area, placed with a small shift and turn, inked according to the pressure, with
// uneven (dry) contact and sensor noise. Touch n of finger f always looks the same; two touches
// of the same finger differ slightly, two fingers differ entirely.
#pragma once

#include <cstdint>

#include "finger_pattern.h"
#include "grey_image.h"

namespace fingersim {

// What the scanner delivers when nobody asks for another size: 400 x 400 pixels at 500 dpi.
constexpr int kDefaultImageWidth = 400;
constexpr int kDefaultImageHeight = 400;
constexpr int kDefaultResolution = 500;

struct TouchVariation {
  double shiftX = 0;    // pixels the finger sits right of the centre
  double shiftY = 0;    // pixels it sits below the centre
  double rotation = 0;  // radians, clockwise on the screen
  double pressure = 1;  // about 0.85 (light) to 1.15 (firm)
  std::uint64_t noiseSeed = 0;
};

TouchVariation VariationOfTouch(std::int64_t finger, std::int64_t touch);

// Renders a touch of `master` into a width x height image; an empty image (0 x 0) when a side
// is outside 1..kMaxImageSide.
GreyImage Impress(const MasterPattern& master, const TouchVariation& touch, int width, int height);

// Touch number `touch` of finger number `finger` at the given size.
GreyImage SynthesizeFinger(std::int64_t finger, std::int64_t touch,
                           int width = kDefaultImageWidth, int height = kDefaultImageHeight);

}  // namespace fingersim
