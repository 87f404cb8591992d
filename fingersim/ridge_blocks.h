// The block map of a finger image: the image cut into 16 x 16 blocks, each judged for whether
// it shows ridges (enough contrast and one clear ridge direction) and, if so, which way they
// run. Enrollment uses it to judge an image, template extraction to keep minutiae off the edge
// of the print.
#pragma once

#include <cstdint>
#include <vector>

#include "grey_image.h"

namespace fingersim {

struct RidgeBlocks {
  static constexpr int kBlockSide = 16;

  int columns = 0;
  int rows = 0;
  std::vector<std::uint8_t> ridged;  // 1 where the block shows ridges
  std::vector<float> orientation;    // ridge angle in [0, pi), meaningful where ridged

  int RidgedCount() const;
  bool Ridged(int column, int row) const {
    return column >= 0 && row >= 0 && column < columns && row < rows && ridged[row * columns + column] != 0;
  }
  // Ridged with all eight neighbours ridged too: well inside the print.
  bool Interior(int column, int row) const;
};

RidgeBlocks AnalyseRidgeBlocks(const GreyImage& image);

}  // namespace fingersim
