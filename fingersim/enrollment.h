// The simulated scanner's enrollment: a finger is enrolled from four good samples. Each sample
// offered gets a status:
//   0      rejected: the image is too poor to use (too little print, too few minutiae)
//   1..3   accepted as the first, second or third sample; more are needed
//   4      the enrollment is complete (the fourth good sample, and every sample after it)
// BeginEnrollment starts a new enrollment; a new scanner object starts with one begun.
#pragma once

#include <cstdint>
#include <vector>

#include "grey_image.h"

namespace fingersim {

constexpr std::int32_t kEnrollRejected = 0;
constexpr std::int32_t kEnrollComplete = 4;
constexpr int kEnrollSamples = 4;

// Fewest 16 x 16 blocks with ridges a usable sample shows (about a fifth of a 400 x 400 image).
constexpr int kMinEnrollBlocks = 120;

class Enrollment {
 public:
  void Begin() { accepted_ = 0; }

  // The status for a sample; `usable` says whether the image is good enough.
  std::int32_t Offer(bool usable);

  int accepted() const { return accepted_; }

 private:
  int accepted_ = 0;
};

// Whether an image is good enough to enroll: a template could be derived from it (`itsTemplate`
// not empty, finger_template.h) and it shows enough print.
bool UsableForEnrollment(const GreyImage& image, const std::vector<std::uint8_t>& itsTemplate);

}  // namespace fingersim
