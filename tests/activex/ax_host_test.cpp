// The layer's registered test control hosted by a container nobody here wrote: the ActiveX host
// window of Wine's own ATL runtime (atl100.dll), loaded as any client program would load it.
// The control is created there by its version-independent ProgID through the registry, so the
// registered server must be in place (fixture LayerTestServer).
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "bstr.h"
#include "com_ptr.h"
#include "gdi.h"
#include "layer_test.h"
#include "layer_test_ids.h"
#include "variant.h"
#include "canvas.h"

namespace {

using activex::Bstr;
using activex::ComPtr;

constexpr wchar_t kProgId[] = L"Layer.LayerTest";

// The host's entry points, looked up by name as a client of the DLL does.
class AtlRuntime {
 public:
  using WinInitFn = BOOL(WINAPI*)();
  using CreateControlFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
  using GetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

  static AtlRuntime& Get() {
    static AtlRuntime runtime;
    return runtime;
  }

  HMODULE module = nullptr;
  WinInitFn winInit = nullptr;
  CreateControlFn createControl = nullptr;
  GetControlFn getControl = nullptr;

 private:
  AtlRuntime() {
    module = LoadLibraryW(L"atl100.dll");  // stays loaded until the process ends
    if (!module) return;
    winInit = reinterpret_cast<WinInitFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "AtlAxWinInit")));
    createControl = reinterpret_cast<CreateControlFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "AtlAxCreateControl")));
    getControl = reinterpret_cast<GetControlFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "AtlAxGetControl")));
  }
};

// The test server's own DllCanUnloadNow, from the copy of the DLL that COM loaded.
HRESULT ServerCanUnloadNow() {
  HMODULE server = GetModuleHandleW(L"LayerTestServer.dll");
  if (!server) return E_UNEXPECTED;
  auto canUnloadNow = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")));
  return canUnloadNow ? canUnloadNow() : E_UNEXPECTED;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

const wchar_t* ParentClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"LayerHostParent";
    return RegisterClassW(&wc);
  }();
  return atom ? L"LayerHostParent" : nullptr;
}

// A DIB pixel (0x00RRGGBB) for a GDI colour.
uint32_t Pixel(COLORREF colour) {
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}
constexpr uint32_t kWhite = 0x00FFFFFF;

using test_support::Canvas;

// Compares every pixel with the test control's drawing into `bounds` on white; describes the
// first few differences, empty when there are none.
std::string Differences(const Canvas& canvas, const RECT& bounds) {
  const RECT marker = layer_test::MarkerRect(bounds);
  std::string report;
  int count = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const POINT p{x, y};
      const uint32_t want = PtInRect(&marker, p)   ? Pixel(layer_test::kMarker)
                            : PtInRect(&bounds, p) ? Pixel(layer_test::kPaper)
                                                   : kWhite;
      const uint32_t got = canvas.Pixel(x, y);
      if (got == want) continue;
      if (++count <= 5) {
        char line[96];
        snprintf(line, sizeof line, "(%d,%d): got %06X want %06X\n", x, y,
                 static_cast<unsigned>(got), static_cast<unsigned>(want));
        report += line;
      }
    }
  }
  if (count > 5) report += std::to_string(count) + " pixels differ in all\n";
  return report;
}

HRESULT GetText(IDispatch* dispatch, DISPID dispid, Bstr& out) {
  DISPPARAMS none{};
  activex::Variant result;
  HRESULT hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                &none, result.ptr(), nullptr, nullptr);
  if (FAILED(hr)) return hr;
  if (result.get().vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
  out.Reset(result.get().bstrVal);
  result.get().vt = VT_EMPTY;  // ownership moved to `out`
  return S_OK;
}

HRESULT PutText(IDispatch* dispatch, DISPID dispid, const wchar_t* text) {
  activex::Variant value;
  value.get().vt = VT_BSTR;
  value.get().bstrVal = SysAllocString(text);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{value.ptr(), &named, 1, 1};
  return dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params,
                          nullptr, nullptr, nullptr);
}

class AxHostTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    AtlRuntime& atl = AtlRuntime::Get();
    // Registers the host window class; once per process (a second call finds it registered).
    if (atl.winInit) windowClassRegistered = atl.winInit() != FALSE;
  }

  void SetUp() override {
    ASSERT_NE(atl.module, nullptr) << "atl100.dll loads";
    ASSERT_NE(atl.winInit, nullptr);
    ASSERT_NE(atl.createControl, nullptr);
    ASSERT_NE(atl.getControl, nullptr);
    ASSERT_TRUE(windowClassRegistered);
    ASSERT_NE(ParentClass(), nullptr);
    parent = CreateWindowExW(0, ParentClass(), L"ax host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                             0, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    PumpMessages();
  }

  void TearDown() override {
    control = nullptr;
    container = nullptr;
    if (IsWindow(parent)) DestroyWindow(parent);
    PumpMessages();
  }

  // The control hosted in `host` by ProgID, and its IUnknown as the host gives it back.
  void Host(HWND host) {
    ASSERT_EQ(atl.createControl(kProgId, host, nullptr, container.put()), S_OK);
    ASSERT_TRUE(container) << "the host hands out its container";
    ASSERT_EQ(atl.getControl(host, control.put()), S_OK);
    ASSERT_TRUE(control);
    PumpMessages();
  }

  template <class I>
  ComPtr<I> Get() {
    ComPtr<I> out;
    EXPECT_EQ(control.As(out), S_OK);
    return out;
  }

  // Draws the control with no bounds, as a container of a windowless control may: only an
  // in-place active windowless control knows where it is (its position), anything else
  // refuses.
  HRESULT DrawAtPosition(const Canvas& canvas) {
    return Get<IViewObject>()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr,
                                    canvas.dc(), nullptr, nullptr, nullptr, 0);
  }

  static RECT ClientRect(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
  }

  static inline bool windowClassRegistered = false;
  AtlRuntime& atl = AtlRuntime::Get();
  HWND parent = nullptr;
  ComPtr<IUnknown> container;
  ComPtr<IUnknown> control;
};

// The host sets the client site first (the control asks for it in its misc status) and
// activates the control in place. Its in-place site is the windowless one and it allows
// windowless activation, so the control makes no window of its own: it is active at the
// position the host gave, its whole client area, where a DC without bounds draws it.
TEST_F(AxHostTest, HostsTheControlInPlaceWindowless) {
  ASSERT_NO_FATAL_FAILURE(Host(parent));

  ComPtr<IOleObject> ole = Get<IOleObject>();
  ASSERT_TRUE(ole);
  CLSID clsid{};
  EXPECT_EQ(ole->GetUserClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_LayerTest) << "the host made the registered class";
  DWORD misc = 0;
  EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, static_cast<DWORD>(wcstoul(layer_test::kOleMisc, nullptr, 10)))
      << "the object says what the registry says";
  ComPtr<IOleClientSite> site;
  EXPECT_EQ(ole->GetClientSite(site.put()), S_OK);
  EXPECT_TRUE(site) << "the host is the client site";
  ComPtr<IOleInPlaceSiteWindowless> windowlessSite;
  EXPECT_EQ(site.As(windowlessSite), S_OK);
  EXPECT_EQ(windowlessSite->CanWindowlessActivate(), S_OK) << "the host allows it";

  HWND window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(Get<IOleInPlaceObject>()->GetWindow(&window), E_FAIL) << "no window of its own";
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "nothing inside the host's window";

  const RECT client = ClientRect(parent);
  ASSERT_GT(client.right, 0);
  ASSERT_GT(client.bottom, 0);
  Canvas canvas(client.right + 10, client.bottom + 10);
  ASSERT_TRUE(canvas.ok());
  ASSERT_EQ(DrawAtPosition(canvas), S_OK) << "in-place active windowless";
  EXPECT_EQ(Differences(canvas, client), "") << "drawn at the host's client area";
}

// The container paints a windowless control by forwarding WM_PAINT with its DC; the control
// paints at its position through the same OnDraw.
TEST_F(AxHostTest, ForwardedPaintDrawsAtThePosition) {
  ASSERT_NO_FATAL_FAILURE(Host(parent));
  const RECT client = ClientRect(parent);
  Canvas canvas(client.right + 10, client.bottom + 10);
  ASSERT_TRUE(canvas.ok());
  LRESULT result = -1;
  ASSERT_EQ(Get<IOleInPlaceObjectWindowless>()->OnWindowMessage(
                WM_PAINT, reinterpret_cast<WPARAM>(canvas.dc()), 0, &result),
            S_OK)
      << "handled";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Differences(canvas, client), "");
}

// A property written and read back through IDispatch while hosted; the control becomes dirty.
TEST_F(AxHostTest, TextPropertyThroughDispatchWhileHosted) {
  ASSERT_NO_FATAL_FAILURE(Host(parent));

  // Saved and clean first: the host sizes the new control as it attaches it, which makes it
  // dirty.
  ComPtr<IPersistStreamInit> persist = Get<IPersistStreamInit>();
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
  ASSERT_EQ(persist->IsDirty(), S_FALSE);

  ComPtr<IDispatch> dispatch = Get<IDispatch>();
  OLECHAR name[] = L"Text";
  LPOLESTR names[] = {name};
  DISPID dispid = DISPID_UNKNOWN;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
  EXPECT_EQ(dispid, 2);

  Bstr text;
  ASSERT_EQ(GetText(dispatch.get(), dispid, text), S_OK);
  EXPECT_EQ(text.str(), L"");
  ASSERT_EQ(PutText(dispatch.get(), dispid, L"hosted in place \u00e9"), S_OK);
  ASSERT_EQ(GetText(dispatch.get(), dispid, text), S_OK);
  EXPECT_EQ(text.str(), L"hosted in place \u00e9");

  Bstr same;
  ASSERT_EQ(Get<ILayerTest>()->get_Text(same.put()), S_OK);
  EXPECT_EQ(same.str(), L"hosted in place \u00e9") << "one object behind both interfaces";
  EXPECT_EQ(persist->IsDirty(), S_OK);
}

// IViewObject::Draw into a memory DC paints exactly what OnDraw draws, inside the bounds given
// and nowhere else.
TEST_F(AxHostTest, ViewObjectDrawPaintsTheDrawingIntoAMemoryDC) {
  ASSERT_NO_FATAL_FAILURE(Host(parent));
  ComPtr<IViewObject> view = Get<IViewObject>();
  ASSERT_TRUE(view);

  Canvas canvas(80, 60);
  ASSERT_TRUE(canvas.ok());
  const RECTL bounds{10, 8, 70, 52};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);
  const RECT drawn{bounds.left, bounds.top, bounds.right, bounds.bottom};
  EXPECT_EQ(Differences(canvas, drawn), "");
  EXPECT_EQ(canvas.Pixel(40, 30), Pixel(layer_test::kMarker)) << "the marker in the middle";

  // Other bounds in the same DC: the drawing follows them.
  const RECTL corner{0, 0, 20, 16};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &corner,
                       nullptr, nullptr, 0),
            S_OK);
  EXPECT_EQ(canvas.Pixel(10, 8), Pixel(layer_test::kMarker));
  EXPECT_EQ(canvas.Pixel(2, 2), Pixel(layer_test::kPaper));
  EXPECT_EQ(canvas.Pixel(40, 30), Pixel(layer_test::kMarker)) << "the first drawing stays";
}

// The host made by window class: a child window of class AtlAxWin100 whose title is the ProgID.
TEST_F(AxHostTest, HostWindowClassCreatesTheControlFromItsTitle) {
  const HWND host =
      CreateWindowExW(0, L"AtlAxWin100", kProgId, WS_CHILD | WS_VISIBLE, 20, 10, 200, 150,
                      parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  PumpMessages();
  ASSERT_EQ(atl.getControl(host, control.put()), S_OK);
  LONG sum = 0;
  EXPECT_EQ(Get<ILayerTest>()->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);

  Canvas canvas(220, 170);
  ASSERT_TRUE(canvas.ok());
  ASSERT_EQ(DrawAtPosition(canvas), S_OK) << "in-place active windowless";
  EXPECT_EQ(Differences(canvas, RECT{0, 0, 200, 150}), "") << "at the host window's client area";
}

// Destroying the host's window deactivates the control and lets go of it: once this test's
// references are gone too, the server can unload.
TEST_F(AxHostTest, DestroyingTheHostReleasesTheControl) {
  ASSERT_NO_FATAL_FAILURE(Host(parent));
  EXPECT_EQ(ServerCanUnloadNow(), S_FALSE) << "the control lives";

  ASSERT_TRUE(DestroyWindow(parent));
  PumpMessages();
  Canvas canvas(10, 10);
  ASSERT_TRUE(canvas.ok());
  EXPECT_EQ(DrawAtPosition(canvas), E_INVALIDARG) << "no longer in-place active";

  ComPtr<IOleClientSite> site;
  Get<IOleObject>()->GetClientSite(site.put());
  EXPECT_FALSE(site) << "the host took its site back";

  control = nullptr;
  container = nullptr;
  EXPECT_EQ(ServerCanUnloadNow(), S_OK) << "nothing of the server is left alive";
}

}  // namespace
