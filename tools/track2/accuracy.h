// Accuracy map: the decoder run over a grid of synthesized swipes, success rate per cell.
#pragma once

#include <cstdio>

namespace track2cli {

struct AccuracyOptions {
  int seeds = 10;             // swipes per cell, each with its own card number and noise
  double wobble = 0.0;        // relative speed wobble added to every swipe
  bool quick = false;         // a smaller grid, for a smoke run
};

// Prints one table per noise level: rows are bit periods, columns speed changes and
// directions, cells the percentage of swipes decoded to exactly their card text. Also counts
// wrong texts returned (a text that is not the card's), the failure a user can't see.
// Returns the number of wrong texts.
int RunAccuracyMap(const AccuracyOptions& options, std::FILE* out);

}  // namespace track2cli
