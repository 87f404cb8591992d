// IDataObject: the control's picture as a metafile (CF_METAFILEPICT on TYMED_MFPICT, content
// aspect), recorded through OnDraw at the control's extent, and data advise sinks. Nothing can
// be set, and no other format is offered.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "control.h"
#include "global_memory.h"
#include "himetric.h"
#include "metafile.h"

namespace activex {

template <class T>
class DataObjectImpl : public IDataObject {
 public:
  // The metafile is recorded in pixels of the screen over the extent; its picture header gives
  // the extent in HIMETRIC for an anisotropic mapping. The caller frees the medium with
  // ReleaseStgMedium.
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!format || !medium) return E_POINTER;
    HRESULT hr = QueryGetData(format);
    if (FAILED(hr)) return hr;
    return RenderMetafile(medium);
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    if (!format) return E_POINTER;
    if (format->cfFormat != CF_METAFILEPICT) return DV_E_FORMATETC;
    if (!(format->tymed & TYMED_MFPICT)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (!out) return E_POINTER;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC** formats) override {
    if (!formats) return E_POINTER;
    *formats = nullptr;
    return E_NOTIMPL;
  }

  STDMETHODIMP DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink,
                       DWORD* connection) override {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!format || !sink) return E_INVALIDARG;
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr)) return hr;
    return State().dataAdvise_->Advise(this, format, advf, sink, connection);
  }
  STDMETHODIMP DUnadvise(DWORD connection) override {
    if (!State().dataAdvise_) return OLE_E_NOCONNECTION;
    return State().dataAdvise_->Unadvise(connection);
  }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA** connections) override {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr)) return hr;
    return State().dataAdvise_->EnumAdvise(connections);
  }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }

  HRESULT EnsureAdviseHolder() {
    Control<T>& c = State();
    if (c.dataAdvise_) return S_OK;
    return CreateDataAdviseHolder(c.dataAdvise_.put());
  }

  HRESULT RenderMetafile(STGMEDIUM* medium) {
    const SIZEL extent = State().Extent();
    const SIZE pixels = HimetricToPixels(extent);

    MetafileRecorder recorder;
    if (!recorder) return E_OUTOFMEMORY;
    SetWindowOrgEx(recorder.dc(), 0, 0, nullptr);
    SetWindowExtEx(recorder.dc(), pixels.cx, pixels.cy, nullptr);
    HRESULT hr = State().DrawInto(recorder.dc(), RECTL{0, 0, pixels.cx, pixels.cy});
    if (FAILED(hr)) return hr;
    Metafile picture = recorder.Finish();
    if (!picture) return E_OUTOFMEMORY;

    GlobalMemory header(GMEM_MOVEABLE | GMEM_SHARE, sizeof(METAFILEPICT));
    if (!header) return E_OUTOFMEMORY;
    {
      GlobalLockScope<METAFILEPICT> pict(header.get());
      if (!pict.get()) return E_OUTOFMEMORY;
      pict->mm = MM_ANISOTROPIC;
      pict->xExt = extent.cx;
      pict->yExt = extent.cy;
      pict->hMF = picture.get();
    }
    medium->tymed = TYMED_MFPICT;
    medium->hMetaFilePict = header.Detach();
    medium->pUnkForRelease = nullptr;
    picture.Detach();  // freed with the header by ReleaseStgMedium
    return S_OK;
  }
};

}  // namespace activex
