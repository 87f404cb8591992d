// The state every control shares, and the work on it that more than one of its OLE interfaces
// needs: the container's sites, in-place activation (with a child window or windowless), the
// advise sinks, the extent, the dirty flag, drawing, and the control's window messages.
//
// A control derives from Control<T> and from the interface mixins it offers; the declaration
// reads as its list of bases:
//
//   class CThing : public activex::ObjectRoot<CThing>,
//                  public IThing,
//                  public activex::PersistStreamInitImpl<CThing>,
//                  public activex::OleControlImpl<CThing>,
//                  public activex::OleObjectImpl<CThing>,
//                  public activex::OleInPlaceActiveObjectImpl<CThing>,
//                  public activex::ViewObjectExImpl<CThing>,
//                  public activex::OleInPlaceObjectWindowlessImpl<CThing>,
//                  public activex::PersistStorageImpl<CThing>,
//                  public activex::SpecifyPropertyPagesImpl<CThing>,
//                  public activex::QuickActivateImpl<CThing>,
//                  public activex::DataObjectImpl<CThing>,
//                  public activex::Control<CThing> {
//    public:
//     static constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | ...;
//     static const CLSID& GetObjectCLSID() { return CLSID_Thing; }
//     static const activex::InterfaceEntry* InterfaceMap();   // object.h
//     static const activex::PropertyEntry<CThing>* PropertyMap();  // property_map.h
//     HRESULT OnDraw(HDC dc, const RECT& bounds);
//   };
//
// What a control provides:
//   static const CLSID& GetObjectCLSID()          its class (GetUserClassID, GetClassID, registry)
//   HRESULT OnDraw(HDC, const RECT& bounds)        paints the control into `bounds` of the DC
//   static PropertyMap()                           when it offers persistence
// and what it may redefine in its own class to replace the defaults below:
//   kMiscStatus, kViewStatus, kWindowOnly, kWindowStyle, kWindowExStyle, PropertyPages(),
//   ProcessWindowMessage() (chain to Control<T>::ProcessWindowMessage for the defaults).
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include "com_ptr.h"
#include "control_window.h"
#include "dc_scope.h"
#include "gdi.h"
#include "message_reflection.h"
#include "variant.h"

namespace activex {

template <class T> class OleObjectImpl;
template <class T> class OleControlImpl;
template <class T> class OleInPlaceActiveObjectImpl;
template <class T> class OleInPlaceObjectWindowlessImpl;
template <class T> class ViewObjectExImpl;
template <class T> class PersistStreamInitImpl;
template <class T> class PersistStorageImpl;
template <class T> class QuickActivateImpl;
template <class T> class DataObjectImpl;
template <class T> class SpecifyPropertyPagesImpl;

// A new control's size: 2 inches square, in HIMETRIC.
constexpr SIZEL kDefaultExtent = {5080, 5080};

template <class T>
class Control {
 public:
  // OLEMISC_* flags reported by IOleObject::GetMiscStatus and IQuickActivate.
  static constexpr DWORD kMiscStatus = 0;
  // VIEWSTATUS_* flags reported by IViewObjectEx::GetViewStatus and IQuickActivate.
  static constexpr DWORD kViewStatus = 0;
  // True for a control that needs its own window even where the container offers windowless
  // activation.
  static constexpr bool kWindowOnly = false;
  static constexpr DWORD kWindowStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  static constexpr DWORD kWindowExStyle = 0;
  // The property pages the control lists (ISpecifyPropertyPages, the properties verb), ending
  // with null. None by default.
  static const CLSID* const* PropertyPages() {
    static const CLSID* const none[] = {nullptr};
    return none;
  }

  // --- State --------------------------------------------------------------------------------
  const SIZEL& Extent() const { return extent_; }
  // Sets the extent as it is, with no notification (loading does this).
  void StoreExtent(const SIZEL& extent) { extent_ = extent; }
  // The control's window while it is in-place active with one; null otherwise.
  HWND Hwnd() const { return window_.get(); }
  IOleClientSite* ClientSite() const { return clientSite_.get(); }
  // The position the container gave at activation or through SetObjectRects, in its window's
  // client coordinates.
  const RECT& PositionRect() const { return position_; }
  bool IsInPlaceActive() const { return inPlaceActive_; }
  bool IsUIActive() const { return uiActive_; }
  bool IsWindowless() const { return inPlaceActive_ && windowless_; }
  bool IsDirty() const { return dirty_; }
  void SetDirty(bool dirty) { dirty_ = dirty; }
  // True while the container has events frozen (IOleControl::FreezeEvents).
  bool EventsFrozen() const { return freezeCount_ > 0; }

  // --- Telling the container ------------------------------------------------------------------
  // Asks for a repaint: an in-place active control with a window invalidates all of it and
  // erases the background; a windowless one asks its site to do the same; an inactive one tells
  // its view advise sink that the content changed.
  HRESULT FireViewChange() {
    if (inPlaceActive_) {
      if (windowless_) return windowlessSite_->InvalidateRect(nullptr, TRUE);
      if (window_) ::InvalidateRect(window_.get(), nullptr, TRUE);  // fails only for a dead window
      return S_OK;
    }
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
  }

  // Tells every IPropertyNotifySink connected to the control that property `dispid` changed.
  // A control without such a connection point has nobody to tell: S_OK.
  HRESULT FireOnChanged(DISPID dispid) {
    ComPtr<IEnumConnections> connections;
    HRESULT hr = PropertyNotifyConnections(connections);
    if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
    CONNECTDATA data{};
    while (connections->Next(1, &data, nullptr) == S_OK) {
      ComPtr<IUnknown> connected = ComPtr<IUnknown>::Adopt(data.pUnk);
      ComPtr<IPropertyNotifySink> sink;
      // A notification: what one sink answers changes nothing for the others.
      if (connected && SUCCEEDED(connected.As(sink))) sink->OnChanged(dispid);
    }
    return S_OK;
  }

  // Tells the data advise sinks (IDataObject::DAdvise) that the data changed.
  HRESULT SendOnDataChange(DWORD advf = 0) {
    if (!dataAdvise_) return S_OK;
    ComPtr<IDataObject> data;
    HRESULT hr = QueryControl(data);
    if (FAILED(hr)) return hr;
    return dataAdvise_->SendOnDataChange(data.get(), 0, advf);
  }

  // An ambient property of the container, through the client site's IDispatch.
  HRESULT GetAmbientProperty(DISPID dispid, VARIANT* value) {
    if (!value) return E_POINTER;
    if (!ambient_) return E_NOINTERFACE;
    DISPPARAMS none{};
    return ambient_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                            value, nullptr, nullptr);
  }

  // False in design mode. Fails when the container does not say.
  HRESULT GetAmbientUserMode(bool* userMode) {
    if (!userMode) return E_POINTER;
    Variant value;
    HRESULT hr = GetAmbientProperty(DISPID_AMBIENT_USERMODE, value.ptr());
    if (SUCCEEDED(hr)) hr = VariantChangeType(value.ptr(), value.ptr(), 0, VT_BOOL);
    if (FAILED(hr)) return hr;
    *userMode = value.get().boolVal != VARIANT_FALSE;
    return S_OK;
  }

  // --- Activation -----------------------------------------------------------------------------
  // In-place activation for a verb: the container's richest in-place site is found, asked, and
  // told; the child window is made unless the site allows windowless activation. The primary
  // and UI-activate verbs also UI-activate. Activating an active control only shows it and, if
  // asked, UI-activates it.
  HRESULT ActivateInPlace(LONG verb) {
    if (!clientSite_) return E_UNEXPECTED;  // nowhere to activate
    HRESULT hr = S_OK;
    if (!inPlaceActive_) {
      hr = BeginInPlace();
      if (FAILED(hr)) return hr;
    }
    if (window_) ShowWindow(window_.get(), SW_SHOW);  // returns the previous visibility
    if ((verb == OLEIVERB_PRIMARY || verb == OLEIVERB_UIACTIVATE) && !uiActive_) {
      hr = ActivateUI();
      if (FAILED(hr)) return hr;
    }
    // A request to bring the control into view; containers without scrolling don't implement
    // it, and the activation stands either way.
    clientSite_->ShowObject();
    return S_OK;
  }

  HRESULT DeactivateUI() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    // The frame and document forget their active object; these are the container's own
    // bookkeeping and their answers are not looked at.
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (document_) document_->SetActiveObject(nullptr, nullptr);
    if (windowless_) windowlessSite_->SetFocus(FALSE);
    return inPlaceSite_->OnUIDeactivate(FALSE);
  }

  HRESULT DeactivateInPlace() {
    if (!inPlaceActive_) return S_OK;
    HRESULT hr = DeactivateUI();
    inPlaceActive_ = false;
    window_.Destroy();
    frame_ = nullptr;
    document_ = nullptr;
    const HRESULT told = inPlaceSiteEx_ ? inPlaceSiteEx_->OnInPlaceDeactivateEx(TRUE)
                                        : inPlaceSite_->OnInPlaceDeactivate();
    windowless_ = false;
    return FAILED(hr) ? hr : told;
  }

  // Moves the window (if any) to `position`, showing only what lies inside `clip`; both in the
  // container window's client coordinates.
  HRESULT SetPosition(const RECT& position, const RECT& clip) {
    position_ = position;
    if (!window_) return S_OK;
    RECT visible{};
    Region shape;
    if (!IntersectRect(&visible, &position, &clip)) {
      shape.Reset(CreateRectRgn(0, 0, 0, 0));  // clipped away entirely
      if (!shape) return E_OUTOFMEMORY;
    } else if (!EqualRect(&visible, &position)) {
      OffsetRect(&visible, -position.left, -position.top);
      shape.Reset(CreateRectRgnIndirect(&visible));
      if (!shape) return E_OUTOFMEMORY;
    }
    if (!SetWindowRgn(window_.get(), shape.get(), TRUE)) return LastError();
    shape.Detach();  // the window owns the region now
    if (!SetWindowPos(window_.get(), nullptr, position.left, position.top,
                      position.right - position.left, position.bottom - position.top,
                      SWP_NOZORDER | SWP_NOACTIVATE))
      return LastError();
    return S_OK;
  }

  // --- Drawing ---------------------------------------------------------------------------------
  // Draws the control through OnDraw into `bounds` of `dc`, as IViewObject::Draw asks. A screen
  // or memory DC is drawn in device units (the bounds converted, the mapping reset), and all of
  // its state comes back afterwards; a metafile is recorded as it is.
  HRESULT DrawInto(HDC dc, const RECTL& bounds) {
    RECT r = {bounds.left, bounds.top, bounds.right, bounds.bottom};
    if (GetDeviceCaps(dc, TECHNOLOGY) == DT_METAFILE) return Self().OnDraw(dc, r);
    SavedDC saved(dc);
    if (!saved) return LastError();
    if (!LPtoDP(dc, reinterpret_cast<POINT*>(&r), 2)) return LastError();
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    return Self().OnDraw(dc, r);
  }

  // --- Window messages --------------------------------------------------------------------------
  // The control's message map: its own handlers, then the default reflection handler. A control
  // with handlers of its own defines ProcessWindowMessage and chains to this one. Used for the
  // child window and, with a null window, for messages a windowless container forwards.
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) {
    return ProcessControlMessage(window, message, wParam, lParam, result) ||
           DefaultReflectionHandler(window, message, wParam, lParam, result);
  }

  // Painting, focus and mouse activation. Focus and mouse activation are only observed: the
  // default window procedure still sees them.
  bool ProcessControlMessage(HWND window, UINT message, WPARAM wParam, LPARAM,
                             LRESULT& result) {
    switch (message) {
      case WM_PAINT:
        return Paint(window, reinterpret_cast<HDC>(wParam), result);
      case WM_SETFOCUS:
        NotifyFocus(true);
        return false;
      case WM_KILLFOCUS:
        // Focus moving into one of the control's own children stays with the control.
        if (!(window && IsChild(window, reinterpret_cast<HWND>(wParam)))) NotifyFocus(false);
        return false;
      case WM_MOUSEACTIVATE:
        ActivateOnMouse();
        return false;
      default:
        return false;
    }
  }

 protected:
  Control() = default;
  ~Control() = default;

  T& Self() { return static_cast<T&>(*this); }

  // Another interface of this object, through its identity (the outer object when aggregated).
  template <class I>
  HRESULT QueryControl(ComPtr<I>& out) {
    return Self().ControllingUnknown()->QueryInterface(__uuidof(I), out.put_void());
  }

 private:
  template <class> friend class OleObjectImpl;
  template <class> friend class OleControlImpl;
  template <class> friend class OleInPlaceActiveObjectImpl;
  template <class> friend class OleInPlaceObjectWindowlessImpl;
  template <class> friend class ViewObjectExImpl;
  template <class> friend class PersistStreamInitImpl;
  template <class> friend class PersistStorageImpl;
  template <class> friend class QuickActivateImpl;
  template <class> friend class DataObjectImpl;
  template <class> friend class SpecifyPropertyPagesImpl;

  static HRESULT LastError() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }

  // The client site and what comes with it. Sites cached for an earlier activation are dropped
  // unless the control is active in them.
  void AttachClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>(site);
    ambient_ = nullptr;
    if (site) site->QueryInterface(IID_IDispatch, ambient_.put_void());  // optional: ambients
    if (!inPlaceActive_) {
      inPlaceSite_ = nullptr;
      inPlaceSiteEx_ = nullptr;
      windowlessSite_ = nullptr;
    }
  }

  void SetViewAdvise(DWORD aspects, DWORD advf, IAdviseSink* sink) {
    viewAspects_ = aspects;
    viewAdviseFlags_ = advf;
    viewSink_ = ComPtr<IAdviseSink>(sink);
  }

  // A new extent from the container. A control that recomposes on resize tells its data and
  // view sinks.
  HRESULT ChangeExtent(const SIZEL& extent) {
    if (extent.cx == extent_.cx && extent.cy == extent_.cy) return S_OK;
    extent_ = extent;
    SetDirty(true);
    if (!(T::kMiscStatus & OLEMISC_RECOMPOSEONRESIZE)) return S_OK;
    HRESULT hr = SendOnDataChange();
    if (SUCCEEDED(hr)) hr = FireViewChange();
    return hr;
  }

  HRESULT FindInPlaceSite() {
    if (inPlaceSite_) return S_OK;
    // The richest site the container offers; only the plain one is required.
    if (SUCCEEDED(clientSite_.As(windowlessSite_))) {
      inPlaceSiteEx_ = ComPtr<IOleInPlaceSiteEx>(windowlessSite_.get());
    } else {
      clientSite_.As(inPlaceSiteEx_);  // optional
    }
    return clientSite_.As(inPlaceSite_);
  }

  HRESULT BeginInPlace() {
    HRESULT hr = FindInPlaceSite();
    if (FAILED(hr)) return hr;
    hr = inPlaceSite_->CanInPlaceActivate();
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;  // S_FALSE: the container says no

    BOOL noRedraw = FALSE;
    windowless_ = false;
    if (windowlessSite_) {
      windowless_ = !T::kWindowOnly && windowlessSite_->CanWindowlessActivate() == S_OK;
      hr = windowlessSite_->OnInPlaceActivateEx(&noRedraw, windowless_ ? ACTIVATE_WINDOWLESS : 0);
    } else if (inPlaceSiteEx_) {
      hr = inPlaceSiteEx_->OnInPlaceActivateEx(&noRedraw, 0);
    } else {
      hr = inPlaceSite_->OnInPlaceActivate();
    }
    if (FAILED(hr)) {
      windowless_ = false;
      return hr;
    }
    inPlaceActive_ = true;

    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    hr = inPlaceSite_->GetWindowContext(frame_.put(), document_.put(), &position, &clip,
                                        &frameInfo);
    if (SUCCEEDED(hr) && !windowless_) {
      HWND parent = nullptr;
      hr = inPlaceSite_->GetWindow(&parent);
      if (SUCCEEDED(hr))
        hr = window_.Create(parent, position, T::kWindowStyle, T::kWindowExStyle,
                            &Control::DispatchWindowMessage, static_cast<Control*>(this));
    }
    if (SUCCEEDED(hr)) hr = SetPosition(position, clip);
    if (FAILED(hr)) {
      DeactivateInPlace();  // undoing: the first failure is the one to report
      return hr;
    }
    return S_OK;
  }

  HRESULT ActivateUI() {
    HRESULT hr = inPlaceSite_->OnUIActivate();
    if (FAILED(hr)) return hr;
    uiActive_ = true;
    if (windowless_) {
      hr = windowlessSite_->SetFocus(TRUE);
      if (FAILED(hr)) return hr;
    } else if (window_ && GetFocus() != window_.get()) {
      SetFocus(window_.get());  // returns the window that had the focus
    }
    ComPtr<IOleInPlaceActiveObject> active;
    hr = QueryControl(active);
    if (FAILED(hr)) return hr;
    // The container's bookkeeping of its active object and its tool space (this control needs
    // none); their answers are not looked at.
    if (frame_) {
      frame_->SetActiveObject(active.get(), nullptr);
      frame_->SetBorderSpace(nullptr);
    }
    if (document_) {
      document_->SetActiveObject(active.get(), nullptr);
      document_->SetBorderSpace(nullptr);
    }
    return S_OK;
  }

  static bool DispatchWindowMessage(void* owner, HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam, LRESULT& result) {
    return static_cast<Control*>(owner)->Self().ProcessWindowMessage(window, message, wParam,
                                                                      lParam, result);
  }

  // WM_PAINT: through OnDraw on the whole client area; into the DC the message carries when it
  // carries one (also for a windowless control, then on its position).
  bool Paint(HWND window, HDC given, LRESULT& result) {
    result = 0;
    // A paint has nobody to report a failed drawing to: OnDraw's result is not looked at.
    if (given) {
      RECT bounds = position_;
      if (window) GetClientRect(window, &bounds);
      Self().OnDraw(given, bounds);
      return true;
    }
    if (!window) return false;
    PaintScope paint(window);
    RECT client{};
    GetClientRect(window, &client);
    if (paint.get()) Self().OnDraw(paint.get(), client);
    return true;
  }

  void NotifyFocus(bool gotFocus) {
    if (!inPlaceActive_ || !clientSite_) return;
    ComPtr<IOleControlSite> site;
    // Optional for containers; the answer to a notification is not looked at.
    if (SUCCEEDED(clientSite_.As(site))) site->OnFocus(gotFocus);
  }

  // A click on an inactive control UI-activates it, except at design time.
  void ActivateOnMouse() {
    bool userMode = true;
    if (FAILED(GetAmbientUserMode(&userMode))) userMode = true;  // a container that doesn't say
    // The click is processed whether or not the activation worked: its result is not looked at.
    if (userMode && !uiActive_) ActivateInPlace(OLEIVERB_UIACTIVATE);
  }

  // S_OK with the connections of the control's IPropertyNotifySink point; S_FALSE when it has
  // no such point.
  HRESULT PropertyNotifyConnections(ComPtr<IEnumConnections>& out) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = QueryControl(container);
    if (hr == E_NOINTERFACE) return S_FALSE;
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(IID_IPropertyNotifySink, point.put());
    if (hr == CONNECT_E_NOCONNECTION) return S_FALSE;
    if (FAILED(hr)) return hr;
    return point->EnumConnections(out.put());
  }

  SIZEL extent_ = kDefaultExtent;
  RECT position_{};
  bool dirty_ = false;
  LONG freezeCount_ = 0;

  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IDispatch> ambient_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceSiteEx> inPlaceSiteEx_;
  ComPtr<IOleInPlaceSiteWindowless> windowlessSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> document_;
  bool inPlaceActive_ = false;
  bool uiActive_ = false;
  bool windowless_ = false;

  ComPtr<IOleAdviseHolder> oleAdvise_;
  ComPtr<IDataAdviseHolder> dataAdvise_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewAdviseFlags_ = 0;

  ControlWindow window_;
};

}  // namespace activex
