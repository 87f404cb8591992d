#include "enrollment.h"

#include "ridge_blocks.h"

namespace fingersim {

std::int32_t Enrollment::Offer(bool usable) {
  if (!usable) return kEnrollRejected;
  if (accepted_ < kEnrollSamples) ++accepted_;
  return accepted_;
}

bool UsableForEnrollment(const GreyImage& image, const std::vector<std::uint8_t>& itsTemplate) {
  return !itsTemplate.empty() && AnalyseRidgeBlocks(image).RidgedCount() >= kMinEnrollBlocks;
}

}  // namespace fingersim
