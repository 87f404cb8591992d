#include "grey_image.h"

#include <algorithm>

namespace fingersim {

bool FitsRawImage(std::int64_t count, std::int64_t width, std::int64_t height) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
  return count >= width * height;
}

GreyImage ImageFromRaw(const std::uint8_t* bytes, std::int64_t count, std::int64_t width, std::int64_t height) {
  if (!bytes || !FitsRawImage(count, width, height)) return {};
  GreyImage image(static_cast<int>(width), static_cast<int>(height));
  std::copy(bytes, bytes + image.pixels.size(), image.pixels.begin());
  return image;
}

}  // namespace fingersim
