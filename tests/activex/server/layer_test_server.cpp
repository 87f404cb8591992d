// The layer's test server: a control built only from the layer's bases (dual interface served
// from the embedded type library, error info, class info, object safety, one event interface,
// the OLE control interfaces with persistence of its extent and text, and a drawing that tests
// can recognise), a class whose creation fails, and the module with its exports.
#include <windows.h>
#include <ocidl.h>

#include "bstr.h"
#include "connection_point.h"
#include "control.h"
#include "data_object.h"
#include "dispatch.h"
#include "gdi.h"
#include "module.h"
#include "object.h"
#include "object_safety.h"
#include "ole_control.h"
#include "ole_in_place_active_object.h"
#include "ole_in_place_object.h"
#include "ole_object.h"
#include "persist_storage.h"
#include "persist_stream_init.h"
#include "property_map.h"
#include "property_pages.h"
#include "provide_class_info.h"
#include "quick_activate.h"
#include "support_error_info.h"
#include "view_object.h"
#include "layer_test.h"
#include "layer_test_ids.h"

namespace {

class CLayerTest : public activex::ObjectRoot<CLayerTest>,
                   public activex::DispatchImpl<ILayerTest>,
                   public activex::SupportErrorInfoImpl<ILayerTest>,
                   public activex::ConnectionPointContainer,
                   public activex::ObjectSafetyImpl<CLayerTest>,
                   public activex::ProvideClassInfo2Impl<&CLSID_LayerTest, &DIID__ILayerTestEvents>,
                   public activex::PersistStreamInitImpl<CLayerTest>,
                   public activex::OleControlImpl<CLayerTest>,
                   public activex::OleObjectImpl<CLayerTest>,
                   public activex::OleInPlaceActiveObjectImpl<CLayerTest>,
                   public activex::ViewObjectExImpl<CLayerTest>,
                   public activex::OleInPlaceObjectWindowlessImpl<CLayerTest>,
                   public activex::PersistStorageImpl<CLayerTest>,
                   public activex::SpecifyPropertyPagesImpl<CLayerTest>,
                   public activex::QuickActivateImpl<CLayerTest>,
                   public activex::DataObjectImpl<CLayerTest>,
                   public activex::Control<CLayerTest> {
 public:
  // OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT | CANTLINKINSIDE |
  // RECOMPOSEONRESIZE: visible at run time; the registry says the same (layer_test::kOleMisc).
  static constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                                       OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE |
                                       OLEMISC_RECOMPOSEONRESIZE;
  // OnDraw covers all of its bounds.
  static constexpr DWORD kViewStatus = VIEWSTATUS_OPAQUE;

  static const CLSID& GetObjectCLSID() { return CLSID_LayerTest; }

  static const activex::InterfaceEntry* InterfaceMap() {
    static const activex::InterfaceEntry map[] = {
        activex::Entry<CLayerTest, ILayerTest>(),
        activex::Entry<CLayerTest, IDispatch, ILayerTest>(),
        activex::Entry<CLayerTest, ISupportErrorInfo>(),
        activex::Entry<CLayerTest, IConnectionPointContainer>(),
        activex::Entry<CLayerTest, IObjectSafety>(),
        activex::Entry<CLayerTest, IProvideClassInfo, IProvideClassInfo2>(),
        activex::Entry<CLayerTest, IProvideClassInfo2>(),
        activex::Entry<CLayerTest, IViewObjectEx>(),
        activex::Entry<CLayerTest, IViewObject2, IViewObjectEx>(),
        activex::Entry<CLayerTest, IViewObject, IViewObjectEx>(),
        activex::Entry<CLayerTest, IOleInPlaceObjectWindowless>(),
        activex::Entry<CLayerTest, IOleInPlaceObject, IOleInPlaceObjectWindowless>(),
        activex::Entry<CLayerTest, IOleWindow, IOleInPlaceObjectWindowless>(),
        activex::Entry<CLayerTest, IOleInPlaceActiveObject>(),
        activex::Entry<CLayerTest, IOleControl>(),
        activex::Entry<CLayerTest, IOleObject>(),
        activex::Entry<CLayerTest, IPersistStreamInit>(),
        activex::Entry<CLayerTest, IPersist, IPersistStreamInit>(),
        activex::Entry<CLayerTest, ISpecifyPropertyPages>(),
        activex::Entry<CLayerTest, IQuickActivate>(),
        activex::Entry<CLayerTest, IPersistStorage>(),
        activex::Entry<CLayerTest, IDataObject>(),
        {}};
    return map;
  }

  static const activex::PropertyEntry<CLayerTest>* PropertyMap() {
    static const activex::PropertyEntry<CLayerTest> map[] = {
        activex::ExtentWidthProperty<CLayerTest>(),
        activex::ExtentHeightProperty<CLayerTest>(),
        activex::TextProperty<CLayerTest>(L"Text", &CLayerTest::get_Text, &CLayerTest::put_Text),
        {}};
    return map;
  }

  STDMETHODIMP Add(LONG a, LONG b, LONG* sum) override {
    if (!sum) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }
  STDMETHODIMP get_Text(BSTR* value) override { return text_.CopyTo(value); }
  // A new text makes the control dirty and asks for a repaint. The repaint is a request: a
  // container that cannot invalidate (some windowless sites answer E_NOTIMPL) does not make the
  // property put fail, the text is stored either way.
  STDMETHODIMP put_Text(BSTR value) override {
    const HRESULT hr = text_.CopyFrom(value);
    if (FAILED(hr)) return hr;
    SetDirty(true);
    FireViewChange();
    return S_OK;
  }
  STDMETHODIMP Fire(LONG dispid, LONG* result) override {
    if (!result) return E_POINTER;
    *result = events_.FireDispatch(dispid);
    return S_OK;
  }

  // The bounds filled with the paper colour and the marker over their middle half, so that a
  // reader of the pixels can tell the drawing, its placement and its size.
  HRESULT OnDraw(HDC dc, const RECT& bounds) {
    activex::GdiObject<HBRUSH> paper(CreateSolidBrush(layer_test::kPaper));
    activex::GdiObject<HBRUSH> marker(CreateSolidBrush(layer_test::kMarker));
    if (!paper || !marker) return E_OUTOFMEMORY;
    FillRect(dc, &bounds, paper.get());
    const RECT middle = layer_test::MarkerRect(bounds);
    FillRect(dc, &middle, marker.get());
    return S_OK;
  }

 private:
  activex::Bstr text_;
  activex::ConnectionPoint events_{this, DIID__ILayerTestEvents};
};

class CRefuser : public CLayerTest {
 public:
  HRESULT FinalConstruct() { return layer_test::kRefused; }
};

const activex::ModuleDescription kDescription = {&LIBID_LayerTestLib, layer_test::kAppId, 101};

activex::Module module(kDescription,
                       {
                           {&CLSID_LayerTest, &activex::CreateInstance<CLayerTest>, 103,
                            {{L"OLEMISC", layer_test::kOleMisc}}},
                           {&layer_test::kRefuserClsid, &activex::CreateInstance<CRefuser>, 0, {}},
                       });

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  return module.DllMain(instance, reason, reserved);
}
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return module.GetClassObject(clsid, iid, out);
}
STDAPI DllCanUnloadNow() { return module.CanUnloadNow(); }
STDAPI DllRegisterServer() { return module.RegisterServer(); }
STDAPI DllUnregisterServer() { return module.UnregisterServer(); }
STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) { return module.Install(install, cmdLine); }
