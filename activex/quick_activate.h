// IQuickActivate: a container hands over its client site, view sink, property-notify sink and
// event sink in one call and learns the control's misc and view status; the extent is then set
// and read through the content-extent methods.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <cstddef>

#include "com_ptr.h"
#include "control.h"

namespace activex {

template <class T>
class QuickActivateImpl : public IQuickActivate {
 public:
  // A sink the container offers is connected to the control's matching connection point; a
  // control without one reports cookie 0 for it. A connection that fails fails the call, and
  // the container falls back to activating the control step by step.
  STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < offsetof(QACONTAINER, dwAmbientFlags) ||
        control->cbSize < sizeof(QACONTROL))
      return E_INVALIDARG;
    Control<T>& c = State();
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    c.AttachClientSite(container->pClientSite);
    if (container->pAdviseSink) c.SetViewAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    HRESULT hr = S_OK;
    if (container->pPropertyNotifySink)
      hr = Connect(IID_IPropertyNotifySink, container->pPropertyNotifySink,
                   &control->dwPropNotifyCookie);
    if (SUCCEEDED(hr) && container->pUnkEventSink) {
      IID events{};
      hr = DefaultEventInterface(&events);
      if (hr == S_OK) hr = Connect(events, container->pUnkEventSink, &control->dwEventCookie);
    }
    if (FAILED(hr)) return hr;
    control->dwMiscStatus = T::kMiscStatus;
    control->dwViewStatus = T::kViewStatus;
    control->dwPointerActivationPolicy = 0;
    return S_OK;
  }

  STDMETHODIMP SetContentExtent(LPSIZEL size) override {
    if (!size) return E_POINTER;
    return State().ChangeExtent(*size);
  }
  STDMETHODIMP GetContentExtent(LPSIZEL size) override {
    if (!size) return E_POINTER;
    *size = State().Extent();
    return S_OK;
  }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }

  template <class I>
  HRESULT QuerySelf(ComPtr<I>& out) {
    return static_cast<T&>(*this).ControllingUnknown()->QueryInterface(__uuidof(I),
                                                                       out.put_void());
  }

  // S_OK with the control's default event interface; S_FALSE when it names none.
  HRESULT DefaultEventInterface(IID* events) {
    ComPtr<IProvideClassInfo2> info;
    HRESULT hr = QuerySelf(info);
    if (hr == E_NOINTERFACE) return S_FALSE;
    if (FAILED(hr)) return hr;
    hr = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, events);
    return hr == E_INVALIDARG ? S_FALSE : hr;  // a class without a source interface
  }

  // Leaves *cookie 0 when the control has no connection point for `iid`.
  HRESULT Connect(REFIID iid, IUnknown* sink, DWORD* cookie) {
    ComPtr<IConnectionPointContainer> points;
    HRESULT hr = QuerySelf(points);
    if (hr == E_NOINTERFACE) return S_OK;
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = points->FindConnectionPoint(iid, point.put());
    if (hr == CONNECT_E_NOCONNECTION) return S_OK;
    if (FAILED(hr)) return hr;
    return point->Advise(sink, cookie);
  }
};

}  // namespace activex
