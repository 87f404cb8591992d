// The template the simulated scanner derives from a finger image: a short record of the
// image's minutiae, the same bytes for the same image every time.
//
//   offset 0   "FST1"
//          4   width, 16 bits          6   height, 16 bits
//          8   resolution, 16 bits     10  share of ridged blocks in percent, 8 bits
//          11  minutia count n, 8 bits (at most kMaxTemplateMinutiae, the central ones)
//          12  n records of 6 bytes: x (16 bits), y (16 bits), angle in 256ths of a turn,
//              kind (1 ending, 3 fork)
//   12 + 6n    FNV-1a checksum of everything before it, 32 bits
//
// All numbers little-endian. A good print gives a few hundred bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "grey_image.h"

namespace fingersim {

constexpr std::size_t kMaxTemplateMinutiae = 64;
constexpr std::size_t kMinTemplateMinutiae = 8;
constexpr std::size_t kTemplateHeaderSize = 12;
constexpr std::size_t kTemplateRecordSize = 6;
constexpr std::size_t kMaxTemplateSize = kTemplateHeaderSize + kMaxTemplateMinutiae * kTemplateRecordSize + 4;

// The template of an image, or nothing (empty) when fewer than kMinTemplateMinutiae minutiae
// are found in it. `resolution` is only recorded.
std::vector<std::uint8_t> DeriveTemplate(const GreyImage& image, std::int32_t resolution);

// FNV-1a over bytes[0..count).
std::uint32_t Fnv1a(const std::uint8_t* bytes, std::size_t count);

}  // namespace fingersim
