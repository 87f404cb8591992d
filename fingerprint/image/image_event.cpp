// The SDK's image event, from the raw image to everything the host and the control use: the
// picture the control draws, the two image files, ImageCode, the enrollment step with its event
// (ProcessAcquiredImage), and the stored copy of the image that ExtractTemplate and Enroll read.
#include "my_control.h"

#include <cstdint>

#include "image_files.h"

namespace fingerprint {
namespace {

// The array of a raw image: a one-dimensional byte array held by value or by reference; null
// for anything else.
SAFEARRAY* RawImageArray(const VARIANT* rawImage) {
  if (!rawImage) return nullptr;
  SAFEARRAY* bytes = nullptr;
  if (rawImage->vt == (VT_ARRAY | VT_UI1))
    bytes = rawImage->parray;
  else if (rawImage->vt == (VT_BYREF | VT_ARRAY | VT_UI1) && rawImage->pparray)
    bytes = *rawImage->pparray;
  return activex::IsByteVector(bytes) ? bytes : nullptr;
}

}  // namespace

void CMyControl::OnImageEvent(BSTR, LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra) {
  // The host's handlers run inside this event and may let go of the control: it stays alive
  // until the run is over.
  activex::ComPtr<IUnknown> self(ControllingUnknown());
  // The SDK is the caller: a run that stops has nobody to report to. The state it leaves is
  // the report.
  AcquireImage(dim1, dim2, rawImage, extra);
}

HRESULT CMyControl::AcquireImage(LONG dim1, LONG dim2, VARIANT* rawImage, LONG extra) {
  m_picture = nullptr;
  if (!m_sdk) return E_POINTER;

  // Only a byte array can be an image; anything else ends the run as a refused conversion does.
  SAFEARRAY* bytes = RawImageArray(rawImage);
  if (!bytes) return S_FALSE;

  activex::ComPtr<IDispatch> converted;
  LONG code = 0;
  HRESULT hr = m_sdk->RawImageToPicture(rawImage, dim1, dim2, 0, converted.put(), &code);
  if (FAILED(hr)) return hr;
  if (code != 0) return S_FALSE;  // the SDK made no picture: nothing changes

  // An object without IPicture leaves no picture; writing the files then stops the run.
  if (converted) {
    hr = converted->QueryInterface(IID_IPicture, m_picture.put_void());
    if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  }
  converted = nullptr;

  hr = WriteImageFiles(m_picture.get());
  if (FAILED(hr)) return hr;

  activex::Bstr text;
  hr = EncodeCodeText(bytes, text);
  if (FAILED(hr)) return hr;
  hr = put_ImageCode(text.get());
  if (FAILED(hr)) return hr;
  text.Reset();

  // A request to the container to repaint; the run goes on whatever it answers.
  FireViewChange();

  hr = ProcessAcquiredImage(dim1, dim2, rawImage, extra);
  if (FAILED(hr)) return hr;

  // The stored copy owns its array, also when the event passed the array by reference. A copy
  // that fails leaves no image held rather than the previous one under the new numbers.
  m_rawImage.Clear();
  VARIANT copy;
  VariantInit(&copy);
  if (SUCCEEDED(VariantCopyInd(&copy, rawImage))) m_rawImage.get() = copy;
  m_imageDim1 = dim1;
  m_imageDim2 = dim2;
  m_imageExtra = extra;

  // The event's array is freed here and the SDK's VARIANT left empty.
  return VariantClear(rawImage);
}

}  // namespace fingerprint
