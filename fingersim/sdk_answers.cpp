#include "sdk_answers.h"

#include "finger_template.h"
#include "grey_image.h"

namespace fingersim {

namespace {

constexpr std::int32_t kImageDoesNotFit = -1;
constexpr std::int32_t kNoTemplate = 0;
constexpr std::int32_t kTemplateMade = 1;

bool Fits(const RawImageRef& raw) { return raw.bytes && FitsRawImage(raw.count, raw.width, raw.height); }

std::vector<std::uint8_t> TemplateOf(const RawImageRef& raw) {
  if (!Fits(raw)) return {};
  return DeriveTemplate(ImageFromRaw(raw.bytes, raw.count, raw.width, raw.height), raw.resolution);
}

}  // namespace

std::int32_t AnswerPicture(const RawImageRef& raw, const std::optional<ScriptedValue>& scripted) {
  if (scripted) return scripted->value;
  return Fits(raw) ? 0 : kImageDoesNotFit;
}

TemplateAnswer AnswerExtraction(const RawImageRef& raw, std::int32_t sizeIn,
                                const std::optional<ScriptedValue>& scripted) {
  TemplateAnswer answer;
  answer.size = sizeIn;
  if (scripted) {
    answer.value = scripted->value;
    if (answer.value > 0) answer.bytes = TemplateOf(raw);
  } else if (!Fits(raw)) {
    answer.value = kImageDoesNotFit;
  } else {
    answer.bytes = TemplateOf(raw);
    answer.value = answer.bytes.empty() ? kNoTemplate : kTemplateMade;
  }
  if (answer.value > 0 && !answer.bytes.empty()) answer.size = static_cast<std::int32_t>(answer.bytes.size());
  if (scripted && scripted->size) answer.size = *scripted->size;
  return answer;
}

TemplateAnswer AnswerEnrollment(Enrollment& enrollment, const RawImageRef& raw, std::int32_t sizeIn,
                                const std::optional<ScriptedValue>& scripted) {
  TemplateAnswer answer;
  answer.size = sizeIn;
  std::vector<std::uint8_t> sample = TemplateOf(raw);
  if (scripted) {
    answer.value = scripted->value;
  } else {
    const bool usable =
        !sample.empty() && UsableForEnrollment(ImageFromRaw(raw.bytes, raw.count, raw.width, raw.height), sample);
    answer.value = enrollment.Offer(usable);
  }
  if (answer.value > 0 && !sample.empty()) {
    answer.size = static_cast<std::int32_t>(sample.size());
    answer.bytes = std::move(sample);
  }
  return answer;
}

}  // namespace fingersim
