// An 8-bit grey image as the simulated scanner delivers it: `width` pixels per row, rows from
// the top down, no padding, 0 black and 255 white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fingersim {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  GreyImage() = default;
  GreyImage(int w, int h, std::uint8_t fill = 255)
      : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

  std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Largest width or height the simulated scanner accepts for an image it is handed.
constexpr int kMaxImageSide = 4096;

// Whether `count` bytes can hold a width x height image: both sides in 1..kMaxImageSide and at
// least width x height bytes (extra bytes after the last row are ignored).
bool FitsRawImage(std::int64_t count, std::int64_t width, std::int64_t height);

// The image held in the first width x height of `count` raw bytes; an empty image (0 x 0) when
// they do not fit (FitsRawImage).
GreyImage ImageFromRaw(const std::uint8_t* bytes, std::int64_t count, std::int64_t width, std::int64_t height);

}  // namespace fingersim
