// IViewObject, IViewObject2 and IViewObjectEx: the container draws the control through OnDraw,
// learns its size and view status, hit-tests it, and hears of view changes through one view
// advise sink. Colour sets and freezing a drawing are not offered.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include "control.h"

namespace activex {

template <class T>
class ViewObjectExImpl : public IViewObjectEx {
 public:
  // Draws the content (also for printing, and as the opaque or transparent part) into the
  // bounds. A windowless in-place active control may be given no bounds: it draws at its
  // position then.
  STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                    LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override {
    if (!IsDrawnAspect(aspect)) return DV_E_DVASPECT;
    if (!dc) return E_INVALIDARG;
    Control<T>& c = State();
    RECTL where{};
    if (bounds) {
      where = *bounds;
    } else if (c.IsWindowless()) {
      const RECT& p = c.PositionRect();
      where = {p.left, p.top, p.right, p.bottom};
    } else {
      return E_INVALIDARG;
    }
    return c.DrawInto(dc, where);
  }
  STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                           LOGPALETTE** colors) override {
    if (!colors) return E_POINTER;
    *colors = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD* freeze) override {
    if (!freeze) return E_POINTER;
    *freeze = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }

  // One sink at a time; a new one (or null) replaces the old.
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) override {
    State().SetViewAdvise(aspects, advf, sink);
    return S_OK;
  }
  // Any of the three may be null when the caller does not want it.
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* advf, IAdviseSink** sink) override {
    Control<T>& c = State();
    if (aspects) *aspects = c.viewAspects_;
    if (advf) *advf = c.viewAdviseFlags_;
    if (sink) return c.viewSink_.CopyTo(sink);
    return S_OK;
  }

  STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override {
    if (!size) return E_POINTER;
    if (!IsDrawnAspect(aspect)) return DV_E_DVASPECT;
    *size = State().Extent();
    return S_OK;
  }

  // A control is a rectangle: no bounding rectangle apart from its extent is given.
  STDMETHODIMP GetRect(DWORD, LPRECTL rect) override {
    if (!rect) return E_POINTER;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetViewStatus(DWORD* status) override {
    if (!status) return E_POINTER;
    *status = T::kViewStatus;
    return S_OK;
  }
  // A point inside the bounds hits the control; anything else is outside.
  STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG,
                             DWORD* result) override {
    if (!bounds || !result) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *result = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
  }
  // A rectangle overlapping the bounds hits the control.
  STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG,
                            DWORD* result) override {
    if (!bounds || !location || !result) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    RECT overlap{};
    *result = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
    return S_OK;
  }
  // The natural size of the content is the extent; other sizing modes are not offered.
  STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO* info,
                                LPSIZEL size) override {
    if (!info || !size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (info->dwExtentMode != DVEXTENT_CONTENT) return E_NOTIMPL;
    *size = State().Extent();
    return S_OK;
  }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }

  static bool IsDrawnAspect(DWORD aspect) {
    return aspect == DVASPECT_CONTENT || aspect == DVASPECT_DOCPRINT ||
           aspect == DVASPECT_OPAQUE || aspect == DVASPECT_TRANSPARENT;
  }
};

}  // namespace activex
