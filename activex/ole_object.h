// IOleObject for a control: the container's client site, verbs, extent, OLE advise sinks and
// the misc-status value. Linking, monikers, clipboard transfer and colour schemes are not part
// of a control: E_NOTIMPL.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "com_ptr.h"
#include "control.h"

namespace activex {

template <class T>
class OleObjectImpl : public IOleObject {
 public:
  STDMETHODIMP SetClientSite(IOleClientSite* site) override {
    State().AttachClientSite(site);
    return S_OK;
  }
  STDMETHODIMP GetClientSite(IOleClientSite** site) override {
    return State().clientSite_.CopyTo(site);
  }
  // The container's names would only title an open-editing window, which a control has not.
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }

  // Leaves the running state: deactivates, saves through the client site when dirty and asked
  // to (a prompt is not shown: OLECLOSE_PROMPTSAVE saves like OLECLOSE_SAVEIFDIRTY), tells the
  // advise sinks, and lets go of the in-place site and the view sink.
  STDMETHODIMP Close(DWORD saveOption) override {
    Control<T>& c = State();
    HRESULT hr = c.DeactivateInPlace();
    if (FAILED(hr)) return hr;
    const bool save = saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE;
    if (save && c.dirty_ && c.clientSite_) {
      hr = c.clientSite_->SaveObject();
      if (FAILED(hr)) return hr;
      if (c.oleAdvise_) {
        hr = c.oleAdvise_->SendOnSave();
        if (FAILED(hr)) return hr;
      }
    }
    if (c.oleAdvise_) {
      hr = c.oleAdvise_->SendOnClose();
      if (FAILED(hr)) return hr;
    }
    c.inPlaceSite_ = nullptr;
    c.inPlaceSiteEx_ = nullptr;
    c.windowlessSite_ = nullptr;
    c.viewSink_ = nullptr;
    return S_OK;
  }

  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject** data) override {
    if (!data) return E_POINTER;
    *data = nullptr;
    return E_NOTIMPL;
  }

  // Primary: properties at design time, else in-place and UI activation. Show, in-place activate
  // and UI activate: in-place activation. Hide: UI deactivation and the window hidden.
  // Properties: the container's property frame, else the control's own pages. Open editing in a
  // separate window is not supported. An unknown positive verb acts as the primary one and says
  // so (OLEOBJ_S_INVALIDVERB); an unknown negative verb is E_NOTIMPL.
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) override {
    Control<T>& c = State();
    switch (verb) {
      case OLEIVERB_PRIMARY:
        return DoPrimaryVerb(parent);
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
      case OLEIVERB_UIACTIVATE:
        return c.ActivateInPlace(verb);
      case OLEIVERB_HIDE: {
        HRESULT hr = c.DeactivateUI();
        if (c.window_) ShowWindow(c.window_.get(), SW_HIDE);  // returns the previous visibility
        return hr;
      }
      case OLEIVERB_PROPERTIES:
        return ShowProperties(parent);
      case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;  // a control keeps no undo state
      case OLEIVERB_OPEN:
        return E_NOTIMPL;
      default:
        if (verb > 0) {
          HRESULT hr = DoPrimaryVerb(parent);
          return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
  }

  // The verbs and names registered for the class.
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(T::GetObjectCLSID(), verbs);
  }
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* name) override {
    if (!name) return E_POINTER;
    return OleRegGetUserType(T::GetObjectCLSID(), form, name);
  }

  // A control has no link source to bring up to date.
  STDMETHODIMP Update() override { return S_OK; }
  STDMETHODIMP IsUpToDate() override { return S_OK; }

  STDMETHODIMP GetUserClassID(CLSID* id) override {
    if (!id) return E_POINTER;
    *id = T::GetObjectCLSID();
    return S_OK;
  }

  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    return State().ChangeExtent(*size);
  }
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = State().extent_;
    return S_OK;
  }

  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!sink) return E_INVALIDARG;
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr)) return hr;
    return State().oleAdvise_->Advise(sink, connection);
  }
  STDMETHODIMP Unadvise(DWORD connection) override {
    if (!State().oleAdvise_) return OLE_E_NOCONNECTION;
    return State().oleAdvise_->Unadvise(connection);
  }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** connections) override {
    if (!connections) return E_POINTER;
    *connections = nullptr;
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr)) return hr;
    return State().oleAdvise_->EnumAdvise(connections);
  }

  // The control's own value, the same for every aspect.
  STDMETHODIMP GetMiscStatus(DWORD, DWORD* status) override {
    if (!status) return E_POINTER;
    *status = T::kMiscStatus;
    return S_OK;
  }
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 private:
  Control<T>& State() { return static_cast<T&>(*this); }

  HRESULT EnsureAdviseHolder() {
    Control<T>& c = State();
    if (c.oleAdvise_) return S_OK;
    return CreateOleAdviseHolder(c.oleAdvise_.put());
  }

  HRESULT DoPrimaryVerb(HWND parent) {
    bool userMode = true;
    // A container that cannot say whether it is in design mode gets run-mode behaviour.
    if (SUCCEEDED(State().GetAmbientUserMode(&userMode)) && !userMode)
      return ShowProperties(parent);
    return State().ActivateInPlace(OLEIVERB_PRIMARY);
  }

  // The container shows its own frame when it can (it may add pages of its own); otherwise the
  // control's pages are shown in the standard frame. Nothing to show is E_NOTIMPL.
  HRESULT ShowProperties(HWND parent) {
    Control<T>& c = State();
    ComPtr<IOleControlSite> site;
    if (c.clientSite_ && SUCCEEDED(c.clientSite_.As(site))) {
      HRESULT hr = site->ShowPropertyFrame();
      if (hr != E_NOTIMPL) return hr;
    }
    std::vector<CLSID> pages;
    for (const CLSID* const* page = T::PropertyPages(); *page; ++page) pages.push_back(**page);
    if (pages.empty()) return E_NOTIMPL;
    IUnknown* self = static_cast<T&>(*this).ControllingUnknown();
    return OleCreatePropertyFrame(parent, 0, 0, L"", 1, &self, static_cast<ULONG>(pages.size()),
                                  pages.data(), LOCALE_USER_DEFAULT, 0, nullptr);
  }
};

}  // namespace activex
