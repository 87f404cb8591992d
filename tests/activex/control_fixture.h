// A small control declared on the control base, and a minimal in-process container for it
// with a real parent window on the test display. Shared by the control tests.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "control.h"
#include "data_object.h"
#include "gdi.h"
#include "object.h"
#include "ole_control.h"
#include "ole_in_place_active_object.h"
#include "ole_in_place_object.h"
#include "ole_object.h"
#include "persist_storage.h"
#include "persist_stream_init.h"
#include "property_map.h"
#include "quick_activate.h"
#include "property_pages.h"
#include "stream_value.h"
#include "view_object.h"
#include "canvas.h"

// The test control's own interface: a text property and a number stored the control's own way.
struct ITestControl : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Text(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Text(BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Number(LONG* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Number(LONG value) = 0;
};
__CRT_UUID_DECL(ITestControl, 0x33612cfd, 0x6a1c, 0x4d15, 0xaf, 0x12, 0x6f, 0x9b, 0xec, 0xfe,
                0x55, 0x84)

namespace control_test {

using activex::ComPtr;

// {64A776A6-F85F-4C50-A42C-839E1E609045}, registered nowhere.
constexpr CLSID kTestControlClass = {
    0x64a776a6, 0xf85f, 0x4c50, {0xa4, 0x2c, 0x83, 0x9e, 0x1e, 0x60, 0x90, 0x45}};
constexpr DISPID kTextDispid = 1;
constexpr UINT kPingMessage = WM_APP + 7;  // answered by the test control's own message map
constexpr COLORREF kInk = RGB(255, 0, 0);
constexpr uint32_t kInkPixel = 0x00FF0000;    // kInk in a 32-bit DIB
constexpr uint32_t kPaperPixel = 0x00FFFFFF;  // white

// One IPropertyNotifySink connection point, enough to see FireOnChanged and quick activation
// reach it. Lives inside the control and shares its reference count.
class NotifyPoint final : public IConnectionPoint {
 public:
  IUnknown* owner = nullptr;
  std::vector<ComPtr<IUnknown>> sinks;  // cookie = index + 1; null after Unadvise

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return owner->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner->Release(); }
  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    *iid = IID_IPropertyNotifySink;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    ComPtr<IPropertyNotifySink> typed;
    if (FAILED(sink->QueryInterface(IID_IPropertyNotifySink, typed.put_void())))
      return CONNECT_E_CANNOTCONNECT;
    sinks.emplace_back(sink);
    *cookie = static_cast<DWORD>(sinks.size());
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > sinks.size() || !sinks[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks[cookie - 1] = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** out) override;
};

// A snapshot of the connections, handed out by EnumConnections.
class ConnectionList final : public IEnumConnections {
 public:
  explicit ConnectionList(const std::vector<ComPtr<IUnknown>>& sinks) {
    for (size_t i = 0; i < sinks.size(); ++i)
      if (sinks[i]) entries_.push_back({sinks[i], static_cast<DWORD>(i + 1)});
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumConnections) {
      *out = static_cast<IEnumConnections*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP Next(ULONG count, CONNECTDATA* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && next_ < entries_.size(); ++n, ++next_) {
      out[n].pUnk = entries_[next_].sink.get();
      out[n].pUnk->AddRef();
      out[n].dwCookie = entries_[next_].cookie;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    next_ += count;
    return next_ <= entries_.size() ? S_OK : S_FALSE;
  }
  STDMETHODIMP Reset() override {
    next_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  struct Entry {
    ComPtr<IUnknown> sink;
    DWORD cookie;
  };
  std::vector<Entry> entries_;
  size_t next_ = 0;
  ULONG refs_ = 1;
};

inline STDMETHODIMP NotifyPoint::EnumConnections(IEnumConnections** out) {
  *out = new ConnectionList(sinks);
  return S_OK;
}

class TestControl : public activex::ObjectRoot<TestControl>,
                    public ITestControl,
                    public activex::PersistStreamInitImpl<TestControl>,
                    public activex::OleControlImpl<TestControl>,
                    public activex::OleObjectImpl<TestControl>,
                    public activex::OleInPlaceActiveObjectImpl<TestControl>,
                    public activex::ViewObjectExImpl<TestControl>,
                    public activex::OleInPlaceObjectWindowlessImpl<TestControl>,
                    public IConnectionPointContainer,
                    public activex::PersistStorageImpl<TestControl>,
                    public activex::SpecifyPropertyPagesImpl<TestControl>,
                    public activex::QuickActivateImpl<TestControl>,
                    public activex::DataObjectImpl<TestControl>,
                    public activex::Control<TestControl> {
 public:
  static constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME |
                                       OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                                       OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
  static constexpr DWORD kViewStatus = VIEWSTATUS_OPAQUE;

  static const CLSID& GetObjectCLSID() { return kTestControlClass; }

  static const activex::InterfaceEntry* InterfaceMap() {
    using activex::Entry;
    static const activex::InterfaceEntry map[] = {
        Entry<TestControl, ITestControl>(),
        Entry<TestControl, IViewObjectEx>(),
        Entry<TestControl, IViewObject2, IViewObjectEx>(),
        Entry<TestControl, IViewObject, IViewObjectEx>(),
        Entry<TestControl, IOleInPlaceObjectWindowless>(),
        Entry<TestControl, IOleInPlaceObject, IOleInPlaceObjectWindowless>(),
        Entry<TestControl, IOleWindow, IOleInPlaceObjectWindowless>(),
        Entry<TestControl, IOleInPlaceActiveObject>(),
        Entry<TestControl, IOleControl>(),
        Entry<TestControl, IOleObject>(),
        Entry<TestControl, IPersistStreamInit>(),
        Entry<TestControl, IPersist, IPersistStreamInit>(),
        Entry<TestControl, IConnectionPointContainer>(),
        Entry<TestControl, ISpecifyPropertyPages>(),
        Entry<TestControl, IQuickActivate>(),
        Entry<TestControl, IPersistStorage>(),
        Entry<TestControl, IDataObject>(),
        {}};
    return map;
  }

  static const activex::PropertyEntry<TestControl>* PropertyMap() {
    static const activex::PropertyEntry<TestControl> map[] = {
        activex::ExtentWidthProperty<TestControl>(),
        activex::ExtentHeightProperty<TestControl>(),
        activex::TextProperty<TestControl>(L"Text", &TestControl::get_Text,
                                           &TestControl::put_Text),
        activex::CustomProperty<TestControl>(L"Number", &TestControl::SaveNumber,
                                             &TestControl::LoadNumber),
        {}};
    return map;
  }

  HRESULT FinalConstruct() {
    notify_.owner = ControllingUnknown();
    return S_OK;
  }

  // A property put as a real control does it: keep the value, become dirty, tell the
  // property-notify sinks and ask for a repaint.
  STDMETHODIMP get_Text(BSTR* value) override { return text_.CopyTo(value); }
  STDMETHODIMP put_Text(BSTR value) override {
    HRESULT hr = text_.CopyFrom(value);
    if (FAILED(hr)) return hr;
    SetDirty(true);
    hr = FireOnChanged(kTextDispid);
    if (FAILED(hr)) return hr;
    return FireViewChange();
  }
  STDMETHODIMP get_Number(LONG* value) override {
    if (!value) return E_POINTER;
    *value = number_;
    return S_OK;
  }
  STDMETHODIMP put_Number(LONG value) override {
    number_ = value;
    SetDirty(true);
    return S_OK;
  }

  HRESULT SaveNumber(IStream* stream) { return activex::WriteInt32Value(stream, number_); }
  HRESULT LoadNumber(IStream* stream) { return activex::ReadInt32Value(stream, &number_); }

  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    *point = nullptr;
    if (iid != IID_IPropertyNotifySink) return CONNECT_E_NOCONNECTION;
    *point = &notify_;
    notify_.AddRef();
    return S_OK;
  }

  // Fills the bounds with the ink and leaves the DC changed, as real drawing code does.
  HRESULT OnDraw(HDC dc, const RECT& bounds) {
    ++draws;
    lastBounds = bounds;
    activex::GdiObject<HBRUSH> ink(CreateSolidBrush(kInk));
    FillRect(dc, &bounds, ink.get());
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    return S_OK;
  }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) {
    if (message == WM_ERASEBKGND) ++erases;
    if (message == kPingMessage) {
      result = 42;
      return true;
    }
    return Control::ProcessWindowMessage(window, message, wParam, lParam, result);
  }

  int draws = 0;
  int erases = 0;
  RECT lastBounds{};

 private:
  activex::Bstr text_;
  LONG number_ = 0;
  NotifyPoint notify_;
};

// A new test control alone, with one reference, and its interfaces.
struct ControlHandle {
  activex::ComObject<TestControl>* object = nullptr;
  ComPtr<IUnknown> identity;

  ControlHandle() {
    EXPECT_EQ(activex::CreateObject(&object), S_OK);
    identity = ComPtr<IUnknown>::Adopt(object->ControllingUnknown());
  }
  TestControl* operator->() const { return object; }
  template <class I>
  ComPtr<I> As() const {
    ComPtr<I> out;
    EXPECT_EQ(identity.As(out), S_OK);
    return out;
  }
};

// The containers' window on the test display: one for the whole run, because hiding or
// destroying a visible top-level window costs seconds on a display without a window manager.
inline HWND ContainerWindow() {
  static const HWND window =
      CreateWindowExW(0, L"STATIC", L"container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                      200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return window;
}

// The number of windows directly inside `parent`.
inline int ChildCount(HWND parent) {
  int count = 0;
  for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) ++count;
  return count;
}

// How much of in-place activation the container offers.
enum class SiteKind { kPlain, kWindowlessRefused, kWindowless };

// The container: client site, in-place site (plain, extended, windowless), control site and the
// sinks, recording what the control tells it. Lives on the stack; its count is for show.
class TestContainer final : public IOleClientSite,
                            public IOleInPlaceSiteWindowless,
                            public IOleControlSite,
                            public IAdviseSinkEx,
                            public IPropertyNotifySink {
 public:
  explicit TestContainer(SiteKind kind = SiteKind::kWindowlessRefused) : kind(kind) {}

  SiteKind kind;
  HWND window = ContainerWindow();
  RECT position{10, 10, 110, 60};

  int inPlaceActivations = 0;
  DWORD activateFlags = 0xFFFFFFFF;  // OnInPlaceActivateEx's flags
  bool usedExtendedSite = false;
  int inPlaceDeactivations = 0;
  int uiActivations = 0;
  int uiDeactivations = 0;
  int invalidations = 0;
  bool lastInvalidateWhole = false;
  bool lastInvalidateErase = false;
  std::vector<bool> focus;
  std::vector<DWORD> viewChanges;
  int dataChanges = 0;
  DWORD lastDataTymed = TYMED_NULL;
  int saves = 0;           // SaveObject from the control
  int savedNotices = 0;    // IAdviseSink::OnSave
  int closedNotices = 0;   // IAdviseSink::OnClose
  std::vector<DISPID> changed;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if ((iid == IID_IOleInPlaceSiteEx || iid == IID_IOleInPlaceSiteWindowless) &&
             kind != SiteKind::kPlain)
      *out = static_cast<IOleInPlaceSiteWindowless*>(this);
    else if (iid == IID_IOleControlSite)
      *out = static_cast<IOleControlSite*>(this);
    else if (iid == IID_IAdviseSink || iid == IID_IAdviseSinkEx)
      *out = static_cast<IAdviseSinkEx*>(this);
    else if (iid == IID_IPropertyNotifySink)
      *out = static_cast<IPropertyNotifySink*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override {
    ++saves;
    return S_OK;
  }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override {
    *out = window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override {
    ++inPlaceActivations;
    return S_OK;
  }
  STDMETHODIMP OnUIActivate() override {
    ++uiActivations;
    return S_OK;
  }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *pos = position;
    *clip = position;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override {
    ++uiDeactivations;
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivate() override {
    ++inPlaceDeactivations;
    return S_OK;
  }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceSiteEx
  STDMETHODIMP OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override {
    usedExtendedSite = true;
    activateFlags = flags;
    if (noRedraw) *noRedraw = FALSE;
    ++inPlaceActivations;
    return S_OK;
  }
  STDMETHODIMP OnInPlaceDeactivateEx(BOOL) override {
    ++inPlaceDeactivations;
    return S_OK;
  }
  STDMETHODIMP RequestUIActivate() override { return S_OK; }

  // IOleInPlaceSiteWindowless
  STDMETHODIMP CanWindowlessActivate() override {
    return kind == SiteKind::kWindowless ? S_OK : S_FALSE;
  }
  STDMETHODIMP GetCapture() override { return S_FALSE; }
  STDMETHODIMP SetCapture(BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetFocus() override { return S_FALSE; }
  STDMETHODIMP SetFocus(BOOL) override { return S_OK; }
  STDMETHODIMP GetDC(LPCRECT, DWORD, HDC*) override { return E_NOTIMPL; }
  STDMETHODIMP ReleaseDC(HDC) override { return E_NOTIMPL; }
  STDMETHODIMP InvalidateRect(LPCRECT rect, BOOL erase) override {
    ++invalidations;
    lastInvalidateWhole = rect == nullptr;
    lastInvalidateErase = erase != FALSE;
    return S_OK;
  }
  STDMETHODIMP InvalidateRgn(HRGN, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return E_NOTIMPL; }
  STDMETHODIMP AdjustRect(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override { return S_FALSE; }

  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL got) override {
    focus.push_back(got != FALSE);
    return S_OK;
  }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }

  // IAdviseSinkEx
  STDMETHODIMP_(void) OnDataChange(FORMATETC*, STGMEDIUM* medium) override {
    ++dataChanges;
    lastDataTymed = medium ? medium->tymed : static_cast<DWORD>(TYMED_NULL);
  }
  STDMETHODIMP_(void) OnViewChange(DWORD aspect, LONG) override { viewChanges.push_back(aspect); }
  STDMETHODIMP_(void) OnRename(IMoniker*) override {}
  STDMETHODIMP_(void) OnSave() override { ++savedNotices; }
  STDMETHODIMP_(void) OnClose() override { ++closedNotices; }
  STDMETHODIMP_(void) OnViewStatusChange(DWORD) override {}

  // IPropertyNotifySink
  STDMETHODIMP OnChanged(DISPID dispid) override {
    changed.push_back(dispid);
    return S_OK;
  }
  STDMETHODIMP OnRequestEdit(DISPID) override { return S_OK; }

  IOleClientSite* site() { return this; }
  IAdviseSink* sink() { return static_cast<IAdviseSinkEx*>(this); }
};

using test_support::Canvas;

inline bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

}  // namespace control_test
