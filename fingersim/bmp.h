// An 8-bit BMP file with a 256-entry grey palette, as the simulated picture object saves itself:
// BITMAPFILEHEADER (14 bytes), BITMAPINFOHEADER (40 bytes), 256 palette entries (blue, green,
// red, 0) with entry i = grey level i, then the rows from the bottom up, each padded with zero
// bytes to a multiple of 4. All numbers little-endian.
//
// The bytes from kBmpInfoOffset up to kBmpPixelOffset form a complete BITMAPINFO, and the rows
// from kBmpPixelOffset on are the matching DIB bits, so a drawing routine can use the same
// buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "grey_image.h"

namespace fingersim {

constexpr std::size_t kBmpInfoOffset = 14;
constexpr std::size_t kBmpPaletteOffset = kBmpInfoOffset + 40;
constexpr std::size_t kBmpPixelOffset = kBmpPaletteOffset + 256 * 4;

// Bytes per stored row: the width rounded up to a multiple of 4.
constexpr std::size_t BmpRowStride(int width) { return (static_cast<std::size_t>(width) + 3) & ~std::size_t{3}; }

// The BMP of a grey image (rows given from the top down, `width` bytes each). `dpi` fills the
// resolution fields (pixels per metre); 0 leaves them 0. Empty when a side is outside
// 1..kMaxImageSide.
std::vector<std::uint8_t> EncodeGreyBmp(const std::uint8_t* topDownRows, int width, int height, int dpi = 0);
std::vector<std::uint8_t> EncodeGreyBmp(const GreyImage& image, int dpi = 0);

}  // namespace fingersim
