// The BMP the simulated picture saves: headers, grey palette and bottom-up padded rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bmp.h"

namespace {

using fingersim::EncodeGreyBmp;

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint32_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

TEST(GreyBmp, HeadersPaletteAndBottomUpPaddedRows) {
  struct Case {
    int width, height, dpi;
    std::size_t stride;
    std::uint32_t perMetre;
  };
  for (Case c : {Case{1, 1, 0, 4, 0}, Case{3, 2, 500, 4, 19685}, Case{5, 3, 96, 8, 3780},
                 Case{8, 4, 500, 8, 19685}, Case{401, 7, 500, 404, 19685}}) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 + 5);
    const auto bmp = EncodeGreyBmp(pixels.data(), c.width, c.height, c.dpi);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);

    const std::size_t total = 14 + 40 + 1024 + c.stride * c.height;
    ASSERT_EQ(bmp.size(), total);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Read32(bmp, 2), total);
    EXPECT_EQ(Read32(bmp, 6), 0u);  // reserved
    EXPECT_EQ(Read32(bmp, 10), 1078u);
    EXPECT_EQ(Read32(bmp, 14), 40u);
    EXPECT_EQ(Read32(bmp, 18), static_cast<std::uint32_t>(c.width));
    EXPECT_EQ(Read32(bmp, 22), static_cast<std::uint32_t>(c.height)) << "positive: bottom-up";
    EXPECT_EQ(Read16(bmp, 26), 1u);
    EXPECT_EQ(Read16(bmp, 28), 8u);
    EXPECT_EQ(Read32(bmp, 30), 0u);
    EXPECT_EQ(Read32(bmp, 34), c.stride * c.height);
    EXPECT_EQ(Read32(bmp, 38), c.perMetre);
    EXPECT_EQ(Read32(bmp, 42), c.perMetre);
    EXPECT_EQ(Read32(bmp, 46), 256u);
    for (std::uint32_t i = 0; i < 256; ++i) {
      ASSERT_EQ(Read32(bmp, 54 + 4 * i), i | (i << 8) | (i << 16)) << "palette entry " << i;
    }
    for (int y = 0; y < c.height; ++y) {
      const std::size_t row = 1078 + c.stride * (c.height - 1 - y);
      for (int x = 0; x < c.width; ++x) {
        ASSERT_EQ(bmp[row + x], pixels[static_cast<std::size_t>(y) * c.width + x]) << x << "," << y;
      }
      for (std::size_t pad = c.width; pad < c.stride; ++pad) ASSERT_EQ(bmp[row + pad], 0) << "padding";
    }
  }
}

TEST(GreyBmp, RefusesSidesOutsideTheAcceptedRange) {
  const std::vector<std::uint8_t> pixels(16, 0);
  EXPECT_TRUE(EncodeGreyBmp(pixels.data(), 0, 4).empty());
  EXPECT_TRUE(EncodeGreyBmp(pixels.data(), 4, -1).empty());
  EXPECT_TRUE(EncodeGreyBmp(pixels.data(), fingersim::kMaxImageSide + 1, 1).empty());
  fingersim::GreyImage shortImage(4, 4);
  shortImage.pixels.resize(15);
  EXPECT_TRUE(EncodeGreyBmp(shortImage).empty());
}

}  // namespace
