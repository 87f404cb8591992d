#include "ridge_blocks.h"

#include <cmath>

namespace fingersim {

namespace {

// A ridged block: grey deviation of at least this much...
constexpr double kMinDeviation = 18.0;
// ...and gradients mostly along one axis (1 = perfectly one-directional, 0 = none preferred).
constexpr double kMinCoherence = 0.35;

}  // namespace

int RidgeBlocks::RidgedCount() const {
  int n = 0;
  for (std::uint8_t r : ridged) n += r;
  return n;
}

bool RidgeBlocks::Interior(int column, int row) const {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (!Ridged(column + dx, row + dy)) return false;
    }
  }
  return true;
}

RidgeBlocks AnalyseRidgeBlocks(const GreyImage& image) {
  RidgeBlocks map;
  const int side = RidgeBlocks::kBlockSide;
  map.columns = image.width / side;
  map.rows = image.height / side;
  map.ridged.assign(static_cast<std::size_t>(map.columns) * map.rows, 0);
  map.orientation.assign(map.ridged.size(), 0.0f);

  for (int by = 0; by < map.rows; ++by) {
    for (int bx = 0; bx < map.columns; ++bx) {
      double sum = 0, sumSquares = 0, gxx = 0, gyy = 0, gxy = 0;
      for (int y = by * side; y < (by + 1) * side; ++y) {
        for (int x = bx * side; x < (bx + 1) * side; ++x) {
          const double v = image.at(x, y);
          sum += v;
          sumSquares += v * v;
          // Central differences, clamped at the image border.
          const int xl = x > 0 ? x - 1 : x, xr = x + 1 < image.width ? x + 1 : x;
          const int yu = y > 0 ? y - 1 : y, yd = y + 1 < image.height ? y + 1 : y;
          const double gx = static_cast<double>(image.at(xr, y)) - image.at(xl, y);
          const double gy = static_cast<double>(image.at(x, yd)) - image.at(x, yu);
          gxx += gx * gx;
          gyy += gy * gy;
          gxy += gx * gy;
        }
      }
      const double n = side * side;
      const double mean = sum / n;
      const double deviation = std::sqrt(std::fmax(0.0, sumSquares / n - mean * mean));
      const double energy = gxx + gyy;
      const double coherence = energy > 0 ? std::sqrt((gxx - gyy) * (gxx - gyy) + 4 * gxy * gxy) / energy : 0.0;
      const std::size_t i = static_cast<std::size_t>(by) * map.columns + bx;
      map.ridged[i] = deviation >= kMinDeviation && coherence >= kMinCoherence;
      // The dominant gradient points across the ridges; the ridges run at right angles to it.
      double theta = 0.5 * std::atan2(2 * gxy, gxx - gyy) + 1.5707963267948966;
      if (theta >= 3.141592653589793) theta -= 3.141592653589793;
      if (theta < 0) theta += 3.141592653589793;
      map.orientation[i] = static_cast<float>(theta);
    }
  }
  return map;
}

}  // namespace fingersim
