#include "finger_template.h"

#include <algorithm>
#include <cmath>

#include "minutiae.h"
#include "ridge_blocks.h"

namespace fingersim {

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

std::uint32_t Fnv1a(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < count; ++i) {
    h ^= bytes[i];
    h *= 16777619u;
  }
  return h;
}

std::vector<std::uint8_t> DeriveTemplate(const GreyImage& image, std::int32_t resolution) {
  if (image.width < 1 || image.height < 1) return {};
  const RidgeBlocks blocks = AnalyseRidgeBlocks(image);
  std::vector<Minutia> minutiae = FindMinutiae(image, blocks);
  if (minutiae.size() < kMinTemplateMinutiae) return {};
  if (minutiae.size() > kMaxTemplateMinutiae) minutiae.resize(kMaxTemplateMinutiae);

  const int blockCount = blocks.columns * blocks.rows;
  const int share = blockCount > 0 ? (100 * blocks.RidgedCount() + blockCount / 2) / blockCount : 0;

  std::vector<std::uint8_t> t{'F', 'S', 'T', '1'};
  t.reserve(kMaxTemplateSize);
  Put16(t, static_cast<std::uint32_t>(image.width));
  Put16(t, static_cast<std::uint32_t>(image.height));
  Put16(t, static_cast<std::uint32_t>(std::clamp<std::int32_t>(resolution, 0, 0xFFFF)));
  t.push_back(static_cast<std::uint8_t>(share));
  t.push_back(static_cast<std::uint8_t>(minutiae.size()));
  for (const Minutia& m : minutiae) {
    Put16(t, static_cast<std::uint32_t>(m.x));
    Put16(t, static_cast<std::uint32_t>(m.y));
    const long turn = std::lround(m.angle * 256.0 / (2 * 3.14159265358979323846));
    t.push_back(static_cast<std::uint8_t>(turn & 0xFF));
    t.push_back(static_cast<std::uint8_t>(m.kind));
  }
  const std::uint32_t sum = Fnv1a(t.data(), t.size());
  Put16(t, sum & 0xFFFF);
  Put16(t, sum >> 16);
  return t;
}

}  // namespace fingersim
