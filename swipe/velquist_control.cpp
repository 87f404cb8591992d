#include "velquist_control.h"

#include "bstr.h"
#include "gdi.h"
#include "recording.h"
#include "to_bstr.h"

namespace swipe {

STDMETHODIMP CVelquist::StartRecording(LONG recTime) {
  // The host learns how the recording went only through GetTrack2.
  BeginRecording(recTime);
  return S_OK;
}

STDMETHODIMP CVelquist::get_GetTrack2(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  activex::Bstr text;
  HRESULT hr = activex::ToBstr(ReadTrack2Text(), text.put());
  if (FAILED(hr)) return hr;
  // Reading the text ends a running recording.
  StopRecording();
  *pVal = text.Detach();
  return S_OK;
}

HRESULT CVelquist::OnDraw(HDC dc, const RECT& bounds) {
  // Clip to the bounds for the drawing, then put the caller's clip region back.
  activex::Region previous(CreateRectRgn(0, 0, 0, 0));
  const bool hadClip = previous && GetClipRgn(dc, previous.get()) == 1;
  activex::Region clip(CreateRectRgn(bounds.left, bounds.top, bounds.right, bounds.bottom));
  const bool clipped = clip && SelectClipRgn(dc, clip.get()) != ERROR;

  Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  static const wchar_t kCaption[] = L"ATL 8.0 : Velquist";
  TextOutW(dc, (bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2, kCaption,
           static_cast<int>(sizeof(kCaption) / sizeof(kCaption[0]) - 1));

  if (clipped) SelectClipRgn(dc, hadClip ? previous.get() : nullptr);
  return S_OK;
}

}  // namespace swipe
