#include "bmp.h"

#include <cmath>
#include <cstring>

namespace fingersim {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeGreyBmp(const std::uint8_t* topDownRows, int width, int height, int dpi) {
  if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return {};
  const std::size_t stride = BmpRowStride(width);
  const std::size_t imageSize = stride * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> bmp(kBmpPixelOffset + imageSize, 0);
  std::uint8_t* p = bmp.data();

  // BITMAPFILEHEADER
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, static_cast<std::uint32_t>(bmp.size()));
  Put32(p + 10, static_cast<std::uint32_t>(kBmpPixelOffset));

  // BITMAPINFOHEADER: a positive height means rows from the bottom up; BI_RGB, no compression.
  std::uint8_t* info = p + kBmpInfoOffset;
  Put32(info + 0, 40);
  Put32(info + 4, static_cast<std::uint32_t>(width));
  Put32(info + 8, static_cast<std::uint32_t>(height));
  Put16(info + 12, 1);  // planes
  Put16(info + 14, 8);  // bits per pixel
  Put32(info + 16, 0);  // BI_RGB
  Put32(info + 20, static_cast<std::uint32_t>(imageSize));
  const auto perMetre = static_cast<std::uint32_t>(dpi > 0 ? std::lround(dpi / 0.0254) : 0);
  Put32(info + 24, perMetre);
  Put32(info + 28, perMetre);
  Put32(info + 32, 256);  // colours used
  Put32(info + 36, 0);    // all colours important

  std::uint8_t* palette = p + kBmpPaletteOffset;
  for (int i = 0; i < 256; ++i) {
    palette[4 * i + 0] = palette[4 * i + 1] = palette[4 * i + 2] = static_cast<std::uint8_t>(i);
  }

  std::uint8_t* rows = p + kBmpPixelOffset;
  for (int y = 0; y < height; ++y) {
    std::memcpy(rows + stride * static_cast<std::size_t>(height - 1 - y),
                topDownRows + static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
  }
  return bmp;
}

std::vector<std::uint8_t> EncodeGreyBmp(const GreyImage& image, int dpi) {
  if (image.width < 1 || image.height < 1 ||
      image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
    return {};
  }
  return EncodeGreyBmp(image.pixels.data(), image.width, image.height, dpi);
}

}  // namespace fingersim
