// Templates and enrollment: the SDK turns a raw image into template bytes or an enrollment step;
// the control publishes templates to its host as Base64 text in ExtractCode and keeps IsEnroll.
// No template is ever compared here.
#include "my_control.h"

#include <cstdint>


namespace fingerprint {

namespace {

// A template buffer: 10000 zero bytes, also the size handed to the SDK with it.
constexpr LONG kTemplateBufferSize = 10000;
// What the control always passes to the SDK's enrollment step.
constexpr LONG kEnrollMode = 8;

HRESULT MakeTemplateBuffer(activex::ByteSafeArray& buffer) {
  return buffer.Create(kTemplateBufferSize);
}

// Keeps the first `size` bytes of a buffer the SDK filled. A size outside the buffer is no
// length the SDK can have written: the buffer is kept whole rather than grown or wrapped.
HRESULT CutTemplate(activex::ByteSafeArray& buffer, LONG size) {
  if (size < 0 || static_cast<ULONG>(size) >= buffer.Count()) return S_OK;
  return buffer.Resize(static_cast<ULONG>(size));
}

// The SDK may replace an in/out array; `buffer` owns whatever comes back.
HRESULT ExtractInto(IFingerSdk* sdk, VARIANT* rawImage, LONG dim1, LONG dim2, LONG extra,
                    activex::ByteSafeArray& buffer, LONG* size, LONG* result) {
  SAFEARRAY* bytes = buffer.Detach();
  HRESULT hr = sdk->ExtractTemplateFromImage(rawImage, dim1, dim2, extra, &bytes, size, 0, result);
  buffer.Reset(bytes);
  return hr;
}

HRESULT EnrollInto(IFingerSdk* sdk, VARIANT* rawImage, LONG dim1, LONG dim2, LONG extra,
                   activex::ByteSafeArray& buffer, LONG* status) {
  SAFEARRAY* bytes = buffer.Detach();
  LONG size = kTemplateBufferSize;
  LONG mode = kEnrollMode;
  HRESULT hr =
      sdk->EnrollFromImage(rawImage, dim1, dim2, extra, &bytes, &size, &mode, 0, 0, status);
  buffer.Reset(bytes);
  return hr;
}

}  // namespace

HRESULT CMyControl::PublishTemplate(SAFEARRAY* bytes) {
  if (!bytes) return E_POINTER;
  if (!activex::IsByteVector(bytes)) return E_INVALIDARG;
  activex::Bstr text;
  HRESULT hr = EncodeCodeText(bytes, text);
  if (FAILED(hr)) return hr;
  return put_ExtractCode(text.get());
}

HRESULT CMyControl::ExtractAndPublishTemplate(LONG dim1, LONG dim2, VARIANT* rawImage,
                                              LONG extra) {
  activex::ByteSafeArray buffer;
  HRESULT hr = MakeTemplateBuffer(buffer);
  if (FAILED(hr)) return hr;
  if (!m_sdk) return E_POINTER;
  LONG size = kTemplateBufferSize;
  LONG result = 0;
  hr = ExtractInto(m_sdk.get(), rawImage, dim1, dim2, extra, buffer, &size, &result);
  if (FAILED(hr)) return hr;
  if (result > 0) {
    hr = CutTemplate(buffer, size);
    if (FAILED(hr)) return hr;
  }
  // Published whatever the result: after a refusal, the whole zero buffer. Publishing reports
  // nothing its callers act on.
  PublishTemplate(buffer.get());
  return S_OK;
}

HRESULT CMyControl::ProcessAcquiredImage(LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra) {
  activex::ByteSafeArray buffer;
  HRESULT hr = MakeTemplateBuffer(buffer);
  if (FAILED(hr)) return hr;
  if (!m_sdk) return E_POINTER;
  LONG status = 0;
  hr = EnrollInto(m_sdk.get(), rawImage, dim1, dim2, extra, buffer, &status);
  if (FAILED(hr)) return hr;

  const bool ok = status >= 1 && status <= 4;
  hr = put_IsEnroll(ok ? 1 : 0);
  if (FAILED(hr)) return hr;
  if (ok) {
    hr = ExtractAndPublishTemplate(dim1, dim2, rawImage, extra);
    if (FAILED(hr)) return hr;
    // What the host's handlers answer is theirs: the result of firing is not looked at.
    Fire_OnSuccess();
  } else {
    Fire_OnFailure();
  }
  return S_OK;
}

STDMETHODIMP CMyControl::ExtractTemplate() {
  m_template.Reset();
  if (FAILED(MakeTemplateBuffer(m_template))) return S_OK;  // no template, and no error
  if (!HoldsRawImage()) return S_OK;  // the zero buffer stays
  if (!m_sdk) return E_POINTER;
  LONG size = kTemplateBufferSize;
  LONG result = 0;
  HRESULT hr = ExtractInto(m_sdk.get(), m_rawImage.ptr(), m_imageDim1, m_imageDim2, m_imageExtra,
                           m_template, &size, &result);
  if (FAILED(hr)) return hr;
  if (result > 0) return CutTemplate(m_template, size);
  return S_OK;
}

STDMETHODIMP CMyControl::Identify() {
  if (!m_template) return S_OK;
  // Publishing reports nothing the host is told of.
  PublishTemplate(m_template.get());
  return S_OK;
}

STDMETHODIMP CMyControl::StartEnroll() {
  if (!m_sdk) return E_POINTER;
  LONG value = 0;
  HRESULT hr = m_sdk->BeginEnrollment(0, &value);
  if (FAILED(hr)) return hr;
  if (value == 0) return put_IsEnroll(0);
  return S_OK;
}

STDMETHODIMP CMyControl::Enroll() {
  activex::ByteSafeArray buffer;
  HRESULT hr = MakeTemplateBuffer(buffer);
  if (FAILED(hr)) return hr;
  if (!HoldsRawImage()) return S_OK;
  if (!m_sdk) return E_POINTER;
  LONG status = 0;
  hr = EnrollInto(m_sdk.get(), m_rawImage.ptr(), m_imageDim1, m_imageDim2, m_imageExtra, buffer,
                  &status);
  if (FAILED(hr)) return hr;
  return put_IsEnroll(status >= 1 && status <= 3 ? 1 : 0);
}

}  // namespace fingerprint
