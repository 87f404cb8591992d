// fingerimage: writes a synthetic finger image of the simulated scanner as an 8-bit grey BMP,
// the same bytes its picture object saves, so the images can be looked at.
//   fingerimage FINGER TOUCH FILE.bmp [WIDTH HEIGHT]
//   (FINGER and TOUCH are whole numbers; 400 x 400 when no size is given)
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bmp.h"
#include "impression.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr, "usage: fingerimage FINGER TOUCH FILE.bmp [WIDTH HEIGHT]\n");
    return 2;
  }
  const long long finger = std::strtoll(argv[1], nullptr, 10);
  const long long touch = std::strtoll(argv[2], nullptr, 10);
  int width = fingersim::kDefaultImageWidth, height = fingersim::kDefaultImageHeight;
  if (argc == 6) {
    width = std::atoi(argv[4]);
    height = std::atoi(argv[5]);
  }
  if (width < 1 || height < 1 || width > fingersim::kMaxImageSide || height > fingersim::kMaxImageSide) {
    std::fprintf(stderr, "fingerimage: width and height must be 1 to %d\n", fingersim::kMaxImageSide);
    return 2;
  }
  const auto bmp = fingersim::EncodeGreyBmp(fingersim::SynthesizeFinger(finger, touch, width, height),
                                            fingersim::kDefaultResolution);
  std::ofstream out(argv[3], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  if (!out) {
    std::fprintf(stderr, "fingerimage: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
