// Templates derived from finger images, the enrollment model, and what the simulated SDK hands
// back for images, with and without scripted values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "enrollment.h"
#include "finger_template.h"
#include "impression.h"
#include "minutiae.h"
#include "random.h"
#include "ridge_blocks.h"
#include "sdk_answers.h"

namespace {

using namespace fingersim;

std::uint32_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

// Horizontal dark ridges every 10 pixels on a light ground; the ridge through y = 80 stops at
// x = 80, leaving one ridge ending in the middle, pointing right.
GreyImage StripesWithOneEnding() {
  GreyImage image(160, 160);
  for (int y = 0; y < 160; ++y) {
    const bool ridge = (y % 10) >= 3 && (y % 10) <= 6;
    for (int x = 0; x < 160; ++x) {
      const bool cut = y >= 73 && y <= 86 && x >= 80;
      image.at(x, y) = ridge && !(cut && y / 10 == 7) ? 40 : 220;
    }
  }
  return image;
}

GreyImage Noise(int w, int h) {
  GreyImage image(w, h);
  Random rng(7);
  for (auto& p : image.pixels) p = static_cast<std::uint8_t>(rng.Below(256));
  return image;
}

RawImageRef Raw(const GreyImage& image, std::int32_t resolution = kDefaultResolution) {
  return {image.pixels.data(), static_cast<std::int64_t>(image.pixels.size()), image.width, image.height, resolution};
}

TEST(Minutiae, FindsTheOneRidgeEndingOfAStripePattern) {
  const GreyImage image = StripesWithOneEnding();
  const auto minutiae = FindMinutiae(image, AnalyseRidgeBlocks(image));
  ASSERT_EQ(minutiae.size(), 1u);
  EXPECT_EQ(minutiae[0].kind, MinutiaKind::ending);
  EXPECT_NEAR(minutiae[0].x, 79, 3);
  EXPECT_NEAR(minutiae[0].y, 74.5, 3);
  EXPECT_TRUE(minutiae[0].angle < 0.3 || minutiae[0].angle > 2 * 3.14159265 - 0.3) << minutiae[0].angle;
}

TEST(FingerTemplate, LayoutSizeAndChecksumForSyntheticPrints) {
  for (std::int64_t finger : {0, 1, 2, 3, 5}) {
    const GreyImage image = SynthesizeFinger(finger, 0);
    const auto t = DeriveTemplate(image, 500);
    SCOPED_TRACE(testing::Message() << "finger " << finger);
    ASSERT_GE(t.size(), kTemplateHeaderSize + kMinTemplateMinutiae * kTemplateRecordSize + 4);
    ASSERT_LE(t.size(), kMaxTemplateSize);
    EXPECT_GE(t.size(), 150u) << "a few hundred bytes";
    EXPECT_EQ(std::string(t.begin(), t.begin() + 4), "FST1");
    EXPECT_EQ(Read16(t, 4), 400u);
    EXPECT_EQ(Read16(t, 6), 400u);
    EXPECT_EQ(Read16(t, 8), 500u);
    EXPECT_GT(t[10], 20) << "share of the image with ridges, percent";
    const std::size_t n = t[11];
    ASSERT_EQ(t.size(), kTemplateHeaderSize + n * kTemplateRecordSize + 4);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t r = kTemplateHeaderSize + i * kTemplateRecordSize;
      EXPECT_LT(Read16(t, r), 400u);
      EXPECT_LT(Read16(t, r + 2), 400u);
      EXPECT_TRUE(t[r + 5] == 1 || t[r + 5] == 3) << "kind";
    }
    const std::uint32_t sum = Read16(t, t.size() - 4) | (Read16(t, t.size() - 2) << 16);
    EXPECT_EQ(sum, Fnv1a(t.data(), t.size() - 4));
  }
}

TEST(FingerTemplate, SameImageSameBytesOtherTouchOtherBytes) {
  const GreyImage a = SynthesizeFinger(6, 0);
  const auto first = DeriveTemplate(a, 500);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(DeriveTemplate(a, 500), first);
  EXPECT_NE(DeriveTemplate(SynthesizeFinger(6, 1), 500), first);
  EXPECT_NE(DeriveTemplate(SynthesizeFinger(7, 0), 500), first);
}

TEST(FingerTemplate, NoTemplateWithoutRidges) {
  EXPECT_TRUE(DeriveTemplate(GreyImage(400, 400, 255), 500).empty()) << "blank";
  EXPECT_TRUE(DeriveTemplate(Noise(400, 400), 500).empty()) << "noise has contrast but no ridge direction";
  EXPECT_TRUE(DeriveTemplate(GreyImage(), 500).empty());
}

TEST(Enrollment, FourGoodSamplesCompleteItPoorOnesAreRejected) {
  Enrollment e;
  struct Step {
    bool usable;
    std::int32_t status;
  };
  const std::vector<Step> steps{{true, 1}, {false, 0}, {true, 2}, {true, 3},
                                {true, 4}, {true, 4}, {false, 0}};
  for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(e.Offer(steps[i].usable), steps[i].status) << "step " << i;
  e.Begin();
  EXPECT_EQ(e.Offer(true), 1) << "begun again";
}

TEST(Enrollment, UsableSamplesNeedEnoughPrintAndATemplate) {
  const GreyImage print = SynthesizeFinger(2, 0);
  EXPECT_TRUE(UsableForEnrollment(print, DeriveTemplate(print, 500)));
  EXPECT_FALSE(UsableForEnrollment(print, {}));
  // A cut-out of a print is too small, even when it gives a template.
  GreyImage corner(160, 160);
  for (int y = 0; y < 160; ++y) {
    for (int x = 0; x < 160; ++x) corner.at(x, y) = print.at(x + 120, y + 120);
  }
  EXPECT_FALSE(UsableForEnrollment(corner, {1, 2, 3}));
}

TEST(SdkAnswers, PictureCodeChecksThatTheBytesHoldTheImage) {
  const std::vector<std::uint8_t> bytes(12, 0);
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, 4, 3, 0}, std::nullopt), 0);
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, 3, 3, 0}, std::nullopt), 0) << "extra bytes are ignored";
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, 4, 4, 0}, std::nullopt), -1);
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, 0, 3, 0}, std::nullopt), -1);
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, -4, -3, 0}, std::nullopt), -1);
  EXPECT_EQ(AnswerPicture({nullptr, 0, 4, 3, 0}, std::nullopt), -1);
  EXPECT_EQ(AnswerPicture({bytes.data(), 12, 4, 4, 0}, ScriptedValue{5, {}}), 5) << "the script wins";
}

TEST(SdkAnswers, ExtractionWorkingAndScripted) {
  const GreyImage print = SynthesizeFinger(0, 1);
  const auto expected = DeriveTemplate(print, 500);
  ASSERT_FALSE(expected.empty());
  const auto size = static_cast<std::int32_t>(expected.size());
  const GreyImage blank(400, 400, 250);
  RawImageRef tooShort = Raw(print);
  tooShort.count -= 1;

  struct Case {
    const char* what;
    RawImageRef raw;
    std::optional<ScriptedValue> scripted;
    std::int32_t value, size;
    bool bytes;
  };
  const std::vector<Case> cases{
      {"print", Raw(print), std::nullopt, 1, size, true},
      {"blank", Raw(blank), std::nullopt, 0, 10000, false},
      {"too short", tooShort, std::nullopt, -1, 10000, false},
      {"scripted 1:404", Raw(print), ScriptedValue{1, 404}, 1, 404, true},
      {"scripted 0", Raw(print), ScriptedValue{0, {}}, 0, 10000, false},
      {"scripted 2", Raw(print), ScriptedValue{2, {}}, 2, size, true},
      {"scripted -5:7", Raw(print), ScriptedValue{-5, 7}, -5, 7, false},
      {"scripted 1 on blank", Raw(blank), ScriptedValue{1, {}}, 1, 10000, false},
  };
  for (const Case& c : cases) {
    const TemplateAnswer a = AnswerExtraction(c.raw, 10000, c.scripted);
    EXPECT_EQ(a.value, c.value) << c.what;
    EXPECT_EQ(a.size, c.size) << c.what;
    if (c.bytes) {
      EXPECT_EQ(a.bytes, expected) << c.what;
    } else {
      EXPECT_TRUE(a.bytes.empty()) << c.what;
    }
  }
}

TEST(SdkAnswers, EnrollmentProgressesWithGoodImagesAndScriptsLeaveItAlone) {
  Enrollment e;
  const GreyImage print = SynthesizeFinger(5, 0);
  const GreyImage blank(400, 400, 250);
  EXPECT_EQ(AnswerEnrollment(e, Raw(print), 10000, std::nullopt).value, 1);
  const TemplateAnswer rejected = AnswerEnrollment(e, Raw(blank), 10000, std::nullopt);
  EXPECT_EQ(rejected.value, 0);
  EXPECT_EQ(rejected.size, 10000);
  EXPECT_TRUE(rejected.bytes.empty());
  EXPECT_EQ(AnswerEnrollment(e, Raw(print), 10000, ScriptedValue{-1, {}}).value, -1);
  EXPECT_EQ(e.accepted(), 1) << "a scripted status does not count as a sample";
  const TemplateAnswer second = AnswerEnrollment(e, Raw(SynthesizeFinger(5, 1)), 10000, std::nullopt);
  EXPECT_EQ(second.value, 2);
  EXPECT_EQ(second.bytes, DeriveTemplate(SynthesizeFinger(5, 1), kDefaultResolution));
  EXPECT_EQ(second.size, static_cast<std::int32_t>(second.bytes.size()));
}

}  // namespace
