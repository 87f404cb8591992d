// Raw images as they travel through the SDK's methods and events: a VARIANT holding a
// one-dimensional byte array of grey pixels, by value or by reference, possibly behind a
// VARIANT passed by reference (what a dispatch caller makes of a VARIANT* argument).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "call_log.h"
#include "safe_array.h"
#include "sdk_answers.h"

namespace fingersim {

// The array a VARIANT holds, looking through references (VT_BYREF | VT_VARIANT, VT_BYREF |
// VT_ARRAY); null when it holds none.
SAFEARRAY* ArrayIn(const VARIANT* value);

// All elements of an array, over every dimension (0 for none).
std::int64_t ElementCount(SAFEARRAY* array);

// How the call log shows an image or array argument: its element count; "null" for a missing
// VARIANT or array; 0 for a VARIANT that holds no array.
LogArg ImageArg(const VARIANT* value);
LogArg ArrayArg(SAFEARRAY* const* array);
// An in/out number: the value passed in, or "null".
LogArg NumberArg(const LONG* value);

// Read access to the pixels of a raw image for the duration of a call. A VARIANT that holds no
// one-dimensional byte array reads as no bytes (the image does not fit).
class RawImageAccess {
 public:
  explicit RawImageAccess(const VARIANT* value);
  RawImageAccess(const RawImageAccess&) = delete;
  RawImageAccess& operator=(const RawImageAccess&) = delete;

  RawImageRef Ref(std::int32_t width, std::int32_t height, std::int32_t resolution) const;

 private:
  std::optional<activex::SafeArrayData> data_;
  std::int64_t count_ = 0;
};

// The bytes a script hands over as an image: a byte array (by value or reference, or a VARIANT
// array of numbers 0..255, as VBScript makes them) or Base64 text. DISP_E_TYPEMISMATCH for
// anything else, E_INVALIDARG for text that is no Base64 or numbers out of byte range.
HRESULT BytesFromScript(const VARIANT& value, std::vector<std::uint8_t>& out);

// Writes bytes at the start of a caller's one-dimensional byte array; as many as it holds.
HRESULT WriteToArray(SAFEARRAY* array, const std::vector<std::uint8_t>& bytes);

}  // namespace fingersim
