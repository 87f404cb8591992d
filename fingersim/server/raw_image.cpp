#include "raw_image.h"

#include <cstring>
#include <string>

#include "base64_decode.h"
#include "variant.h"

namespace fingersim {

namespace {

// The VARIANT a reference chain ends at (VT_BYREF | VT_VARIANT may nest; a few levels are
// plenty for any real caller).
const VARIANT* Dereferenced(const VARIANT* value) {
  for (int depth = 0; value && value->vt == (VT_BYREF | VT_VARIANT) && depth < 4; ++depth) value = value->pvarVal;
  return value;
}

}  // namespace

SAFEARRAY* ArrayIn(const VARIANT* value) {
  value = Dereferenced(value);
  if (!value || !(value->vt & VT_ARRAY)) return nullptr;
  if (value->vt & VT_BYREF) return value->pparray ? *value->pparray : nullptr;
  return value->parray;
}

std::int64_t ElementCount(SAFEARRAY* array) {
  if (!array) return 0;
  std::int64_t count = 1;
  for (USHORT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
  return array->cDims ? count : 0;
}

LogArg ImageArg(const VARIANT* value) {
  if (!value) return LogArg::Null();
  return LogArg::Number(ElementCount(ArrayIn(value)));
}

LogArg ArrayArg(SAFEARRAY* const* array) {
  if (!array || !*array) return LogArg::Null();
  return LogArg::Number(ElementCount(*array));
}

LogArg NumberArg(const LONG* value) { return value ? LogArg::Number(*value) : LogArg::Null(); }

RawImageAccess::RawImageAccess(const VARIANT* value) {
  SAFEARRAY* array = ArrayIn(value);
  if (!activex::IsByteVector(array)) return;
  data_.emplace(array);
  if (FAILED(data_->status())) {
    data_.reset();
    return;
  }
  count_ = array->rgsabound[0].cElements;
}

RawImageRef RawImageAccess::Ref(std::int32_t width, std::int32_t height, std::int32_t resolution) const {
  RawImageRef ref;
  ref.bytes = data_ ? data_->bytes() : nullptr;
  ref.count = data_ ? count_ : 0;
  ref.width = width;
  ref.height = height;
  ref.resolution = resolution;
  return ref;
}

HRESULT BytesFromScript(const VARIANT& given, std::vector<std::uint8_t>& out) {
  out.clear();
  const VARIANT* value = Dereferenced(&given);
  if (!value) return E_POINTER;
  const VARTYPE type = value->vt & ~VT_BYREF;

  if (type == VT_BSTR) {
    BSTR text = (value->vt & VT_BYREF) ? (value->pbstrVal ? *value->pbstrVal : nullptr) : value->bstrVal;
    // Base64 is ASCII: any other character makes the text no Base64.
    std::string ascii;
    ascii.reserve(SysStringLen(text));
    for (UINT i = 0; i < SysStringLen(text); ++i) {
      if (text[i] > 0x7F) return E_INVALIDARG;
      ascii.push_back(static_cast<char>(text[i]));
    }
    auto bytes = DecodeBase64(ascii);
    if (!bytes) return E_INVALIDARG;
    out = std::move(*bytes);
    return S_OK;
  }

  SAFEARRAY* array = ArrayIn(value);
  if (!array) return DISP_E_TYPEMISMATCH;
  if (activex::IsByteVector(array)) {
    activex::SafeArrayData data(array);
    if (FAILED(data.status())) return data.status();
    out.assign(data.bytes(), data.bytes() + array->rgsabound[0].cElements);
    return S_OK;
  }

  VARTYPE elementType = VT_EMPTY;
  if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &elementType)) ||
      elementType != VT_VARIANT) {
    return DISP_E_TYPEMISMATCH;
  }
  activex::SafeArrayData data(array);
  if (FAILED(data.status())) return data.status();
  const auto* elements = reinterpret_cast<const VARIANT*>(data.bytes());
  out.reserve(array->rgsabound[0].cElements);
  for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
    activex::Variant number;
    if (FAILED(VariantChangeType(number.ptr(), const_cast<VARIANT*>(&elements[i]), 0, VT_I4)) ||
        number.get().lVal < 0 || number.get().lVal > 255) {
      out.clear();
      return E_INVALIDARG;
    }
    out.push_back(static_cast<std::uint8_t>(number.get().lVal));
  }
  return S_OK;
}

HRESULT WriteToArray(SAFEARRAY* array, const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty() || !array) return S_OK;
  activex::SafeArrayData data(array);
  if (FAILED(data.status())) return data.status();
  const std::size_t room = array->rgsabound[0].cElements;
  std::memcpy(data.bytes(), bytes.data(), bytes.size() < room ? bytes.size() : room);
  return S_OK;
}

}  // namespace fingersim
