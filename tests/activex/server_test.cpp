// The layer's test server driven as a client drives it: loaded as a DLL, asked for class
// objects, aggregated, its events advised and fired, its object safety, error info and class
// info queried.
#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "layer_test.h"
#include "layer_test_ids.h"
#include "object_safety.h"  // the identity of IObjectSafety for __uuidof

namespace {

using activex::Bstr;
using activex::ComPtr;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

// The server DLL, loaded once for the whole program.
class Server {
 public:
  static Server& Get() {
    static Server server;
    return server;
  }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) { return getClassObject_(clsid, iid, out); }
  HRESULT CanUnloadNow() { return canUnloadNow_(); }

  HRESULT Factory(ComPtr<IClassFactory>& factory) {
    return GetClassObject(CLSID_LayerTest, IID_IClassFactory, factory.put_void());
  }
  template <class I>
  HRESULT Create(ComPtr<I>& out) {
    ComPtr<IClassFactory> factory;
    if (HRESULT hr = Factory(factory); FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, __uuidof(I), out.put_void());
  }

 private:
  Server() {
    std::wstring path = L"Z:" LAYER_TEST_SERVER_PATH;
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    module_ = LoadLibraryW(path.c_str());
    getClassObject_ = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  }
  HMODULE module_;  // stays loaded until the process ends
  GetClassObjectFn getClassObject_;
  CanUnloadNowFn canUnloadNow_;
};

class ServerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(Server::Get().CanUnloadNow(), S_OK) << "a test left something alive";
  }
  void TearDown() override {
    EXPECT_EQ(Server::Get().CanUnloadNow(), S_OK) << "everything made by the test is released";
    CoUninitialize();
  }
  Server& server = Server::Get();
};

TEST_F(ServerTest, ClassObjectsAndUnloadCounting) {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(server.GetClassObject(IID_IDispatch, IID_IClassFactory, factory.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory.get(), nullptr);

  ASSERT_EQ(server.Factory(factory), S_OK);
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a held class object keeps the module";
  ComPtr<IClassFactory> again;
  ASSERT_EQ(server.Factory(again), S_OK);
  EXPECT_EQ(again.get(), factory.get()) << "one cached class object per class";
  again = nullptr;

  ComPtr<ILayerTest> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILayerTest, object.put_void()), S_OK);
  factory = nullptr;
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a live object keeps the module";
  object = nullptr;
  EXPECT_EQ(server.CanUnloadNow(), S_OK);

  ASSERT_EQ(server.Factory(factory), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory = nullptr;
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE) << "a server lock keeps the module";
  ASSERT_EQ(server.Factory(factory), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
}

TEST_F(ServerTest, FailedFinalConstructFailsTheCreation) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(server.GetClassObject(layer_test::kRefuserClsid, IID_IClassFactory, factory.put_void()),
            S_OK);
  ComPtr<IUnknown> object;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), layer_test::kRefused);
  EXPECT_EQ(object.get(), nullptr);
  factory = nullptr;
  EXPECT_EQ(server.CanUnloadNow(), S_OK) << "the refused object is gone";
}

// An outer object that aggregates the server's object and hands out its interfaces.
class Outer final : public IUnknown {
 public:
  ComPtr<IUnknown> inner;
  ULONG refs = 1;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
};

TEST_F(ServerTest, Aggregation) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(server.Factory(factory), S_OK);
  Outer outer;
  ComPtr<ILayerTest> direct;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_ILayerTest, direct.put_void()), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
  factory = nullptr;

  ComPtr<ILayerTest> test;
  ASSERT_EQ(outer.QueryInterface(IID_ILayerTest, test.put_void()), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "the inner interface counts on the outer object";
  LONG sum = 0;
  EXPECT_EQ(test->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);
  ComPtr<IUnknown> identity;
  ASSERT_EQ(test.As(identity), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
  identity = nullptr;

  // Object safety asks the identity, so it sees what the outer object offers.
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(test.As(safety), S_OK);
  DWORD supported = 0, enabled = 0;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_ILayerTest, &supported, &enabled), S_OK);
  safety = nullptr;
  test = nullptr;
  EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
  outer.inner = nullptr;
}

// A sink that logs every call with its arguments; `answer` is what its Invoke returns.
struct Call {
  int sink;
  DISPID dispid;
  bool nullIid;
  LCID lcid;
  WORD flags;
  UINT args;
  bool noResult, noException, noArgError;
  ULONG refsDuringCall;
};

class RecordingSink final : public IDispatch {
 public:
  RecordingSink(int id, std::vector<Call>& log, REFIID events = DIID__ILayerTestEvents)
      : id_(id), log_(log), events_(events) {}
  HRESULT answer = S_OK;
  ULONG refs = 1;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    log_.push_back({id_, dispid, iid == IID_NULL, lcid, flags, params ? params->cArgs : 99u,
                    result == nullptr, exception == nullptr, argError == nullptr, refs});
    return answer;
  }

 private:
  int id_;
  std::vector<Call>& log_;
  IID events_;
};

TEST_F(ServerTest, ConnectionPointsFireToSinksInSlotOrder) {
  ComPtr<ILayerTest> test;
  ASSERT_EQ(server.Create(test), S_OK);
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(test.As(container), S_OK);

  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
  ASSERT_EQ(container->FindConnectionPoint(DIID__ILayerTestEvents, point.put()), S_OK);
  IID iid{};
  EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, DIID__ILayerTestEvents);
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
  EXPECT_EQ(back.get(), container.get());
  back = nullptr;

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
  IConnectionPoint* listed[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(listed[0], point.get());
  listed[0]->Release();
  points = nullptr;

  LONG result = -1;
  EXPECT_EQ(test->Fire(5, &result), S_OK);
  EXPECT_EQ(result, 0) << "no sink: 0";

  std::vector<Call> log;
  RecordingSink a(1, log), b(2, log), c(3, log), stranger(4, log, IID_IPersist);
  DWORD cookieA = 0, cookieB = 0, cookieC = 0, none = 7;
  EXPECT_EQ(point->Advise(&stranger, &none), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(point->Advise(nullptr, &none), E_POINTER);
  ASSERT_EQ(point->Advise(&a, &cookieA), S_OK);
  ASSERT_EQ(point->Advise(&b, &cookieB), S_OK);
  EXPECT_NE(cookieA, cookieB);

  b.answer = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x42);
  ASSERT_EQ(test->Fire(5, &result), S_OK);
  EXPECT_EQ(result, b.answer) << "the last call's HRESULT";
  ASSERT_EQ(log.size(), 2u);
  for (std::size_t i = 0; i < log.size(); ++i) {
    const Call& call = log[i];
    EXPECT_EQ(call.sink, static_cast<int>(i + 1));
    EXPECT_EQ(call.dispid, 5);
    EXPECT_TRUE(call.nullIid);
    EXPECT_EQ(call.lcid, 0x400u);
    EXPECT_EQ(call.flags, DISPATCH_METHOD);
    EXPECT_EQ(call.args, 0u);
    EXPECT_TRUE(call.noResult && call.noException && call.noArgError);
    EXPECT_EQ(call.refsDuringCall, 3u) << "ours, the point's, and the one held for the call";
  }

  a.answer = E_FAIL;
  b.answer = S_OK;
  log.clear();
  ASSERT_EQ(test->Fire(6, &result), S_OK);
  EXPECT_EQ(result, S_OK) << "an earlier failure does not stick";

  // A freed slot is taken by the next sink, which then fires ahead of b.
  EXPECT_EQ(point->Unadvise(cookieA), S_OK);
  EXPECT_EQ(point->Unadvise(cookieA), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(a.refs, 1u) << "unadvise lets the sink go";
  ASSERT_EQ(point->Advise(&c, &cookieC), S_OK);
  EXPECT_EQ(cookieC, cookieA);
  log.clear();
  ASSERT_EQ(test->Fire(1, &result), S_OK);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].sink, 3);
  EXPECT_EQ(log[1].sink, 2);

  ComPtr<IEnumConnections> connections;
  ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
  CONNECTDATA data[3] = {};
  ASSERT_EQ(connections->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, cookieC);
  EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(&c));
  EXPECT_EQ(data[1].dwCookie, cookieB);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  connections = nullptr;

  EXPECT_EQ(point->Unadvise(cookieB), S_OK);
  EXPECT_EQ(point->Unadvise(cookieC), S_OK);
  log.clear();
  ASSERT_EQ(test->Fire(1, &result), S_OK);
  EXPECT_TRUE(log.empty()) << "unadvised sinks hear nothing";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(b.refs, 1u);
  EXPECT_EQ(c.refs, 1u);
}

TEST_F(ServerTest, ObjectSafety) {
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(server.Create(safety), S_OK);
  DWORD supported = 99, enabled = 99;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, static_cast<DWORD>(INTERFACESAFE_FOR_UNTRUSTED_CALLER));
  EXPECT_EQ(enabled, 0u) << "nothing enabled at first";

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 3), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_DATA, 0), E_FAIL);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 0u) << "a refused mask changes nothing";

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 1), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, 1u);
  EXPECT_EQ(enabled, 1u);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_ILayerTest, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u) << "one set of options for the whole object";
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 0, 1), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 1u) << "bits outside the mask stay";
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 1, 0), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(enabled, 0u);

  supported = enabled = 99;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistFile, &supported, &enabled), E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistFile, 1, 1), E_NOINTERFACE);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistFile, 3, 3), E_NOINTERFACE)
      << "the missing interface is reported before the mask";
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
}

TEST_F(ServerTest, ErrorInfoAndClassInfo) {
  ComPtr<ISupportErrorInfo> errorInfo;
  ASSERT_EQ(server.Create(errorInfo), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_ILayerTest), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);

  ComPtr<IProvideClassInfo2> info2;
  ASSERT_EQ(errorInfo.As(info2), S_OK);
  GUID guid{};
  EXPECT_EQ(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid), S_OK);
  EXPECT_EQ(guid, DIID__ILayerTestEvents);
  EXPECT_EQ(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid), E_FAIL);
  EXPECT_EQ(guid, GUID_NULL);
  EXPECT_EQ(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, nullptr), E_POINTER);

  ComPtr<IProvideClassInfo> info;
  ASSERT_EQ(errorInfo.As(info), S_OK);
  ComPtr<ITypeInfo> typeInfo;
  ASSERT_EQ(info->GetClassInfo(typeInfo.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(typeInfo->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, CLSID_LayerTest);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  typeInfo->ReleaseTypeAttr(attr);
}

TEST_F(ServerTest, DispatchFromTheTypeLibrary) {
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(server.Create(dispatch), S_OK);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> typeInfo;
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, typeInfo.put()), DISP_E_BADINDEX);

  wchar_t add[] = L"Add", nope[] = L"Nope";
  LPOLESTR names[] = {add};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 1);
  names[0] = nope;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);

  // Add("40", 2.0): both converted to long by the type library; arguments arrive reversed.
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_R8;
  args[0].dblVal = 2.0;
  Bstr forty(L"40");
  args[1].vt = VT_BSTR;
  args[1].bstrVal = forty.get();
  DISPPARAMS params = {args, nullptr, 2, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 42);
  params.cArgs = 1;
  UINT argError = 0;
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, &argError),
            DISP_E_BADPARAMCOUNT);
}

}  // namespace
