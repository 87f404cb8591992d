// The layer's test server: a class built only from the layer's bases (dual interface served
// from the embedded type library, error info, class info, object safety, one event interface),
// a class whose creation fails, and the module with its exports.
#include <windows.h>
#include <ocidl.h>

#include "bstr.h"
#include "connection_point.h"
#include "dispatch.h"
#include "module.h"
#include "object.h"
#include "object_safety.h"
#include "provide_class_info.h"
#include "support_error_info.h"
#include "layer_test.h"
#include "layer_test_ids.h"

namespace {

class CLayerTest : public activex::ObjectRoot<CLayerTest>,
                   public activex::DispatchImpl<ILayerTest>,
                   public activex::SupportErrorInfoImpl<ILayerTest>,
                   public activex::ConnectionPointContainer,
                   public activex::ObjectSafetyImpl<CLayerTest>,
                   public activex::ProvideClassInfo2Impl<&CLSID_LayerTest, &DIID__ILayerTestEvents> {
 public:
  static const activex::InterfaceEntry* InterfaceMap() {
    static const activex::InterfaceEntry map[] = {
        activex::Entry<CLayerTest, ILayerTest>(),
        activex::Entry<CLayerTest, IDispatch, ILayerTest>(),
        activex::Entry<CLayerTest, ISupportErrorInfo>(),
        activex::Entry<CLayerTest, IConnectionPointContainer>(),
        activex::Entry<CLayerTest, IObjectSafety>(),
        activex::Entry<CLayerTest, IProvideClassInfo, IProvideClassInfo2>(),
        activex::Entry<CLayerTest, IProvideClassInfo2>(),
        {}};
    return map;
  }

  STDMETHODIMP Add(LONG a, LONG b, LONG* sum) override {
    if (!sum) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }
  STDMETHODIMP get_Text(BSTR* value) override { return text_.CopyTo(value); }
  STDMETHODIMP put_Text(BSTR value) override { return text_.CopyFrom(value); }
  STDMETHODIMP Fire(LONG dispid, LONG* result) override {
    if (!result) return E_POINTER;
    *result = events_.FireDispatch(dispid);
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
