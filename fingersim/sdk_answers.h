// What the simulated SDK hands back for the operations that look at a raw image: the working
// scanner's own answer, or the script's value when the control channel has one
// (ScannerChannel::Enter). The raw image is `count` bytes of grey pixels, `width` per row.
//
//   RawImageToPicture         code 0 when the bytes hold a width x height image, else -1
//   ExtractTemplateFromImage  result 1 with the template (finger_template.h) and its size;
//                             0 when the image gives no template; -1 when it does not fit
//   EnrollFromImage           the enrollment status (enrollment.h); a usable sample also
//                             leaves its template and size
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "enrollment.h"
#include "scripted_results.h"

namespace fingersim {

struct RawImageRef {
  const std::uint8_t* bytes = nullptr;
  std::int64_t count = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t resolution = 0;
};

std::int32_t AnswerPicture(const RawImageRef& raw, const std::optional<ScriptedValue>& scripted);

// What goes back through the in/out buffer and size and the out-value.
struct TemplateAnswer {
  std::int32_t value = 0;           // result (extraction) or status (enrollment)
  std::int32_t size = 0;            // the size handed back (the given size when unchanged)
  std::vector<std::uint8_t> bytes;  // written at the start of the caller's buffer
};

// `sizeIn` is the size the caller passed. A scripted "result:size" sets both numbers; a script
// with a result alone keeps the working size rule (the template's size when result > 0, else
// the given size). The template bytes are written whenever the result is positive.
TemplateAnswer AnswerExtraction(const RawImageRef& raw, std::int32_t sizeIn,
                                const std::optional<ScriptedValue>& scripted);

// A scripted status is reported as it is and leaves the enrollment alone; otherwise the sample
// is offered to `enrollment`.
TemplateAnswer AnswerEnrollment(Enrollment& enrollment, const RawImageRef& raw, std::int32_t sizeIn,
                                const std::optional<ScriptedValue>& scripted);

}  // namespace fingersim
