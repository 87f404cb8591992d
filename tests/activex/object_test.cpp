// Object lifetime and identity: interface maps, plain and aggregated creation, FinalConstruct.
#include <windows.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include "com_ptr.h"
#include "object.h"

namespace {

using activex::ComPtr;

int finalReleases = 0;
HRESULT constructResult = S_OK;

class Thing : public activex::ObjectRoot<Thing>, public IPersistStreamInit, public IOleWindow {
 public:
  static const activex::InterfaceEntry* InterfaceMap() {
    static const activex::InterfaceEntry map[] = {
        activex::Entry<Thing, IPersistStreamInit>(),
        activex::Entry<Thing, IPersist, IPersistStreamInit>(),
        activex::Entry<Thing, IOleWindow>(),
        {}};
    return map;
  }
  HRESULT FinalConstruct() { return constructResult; }
  void FinalRelease() { ++finalReleases; }

  STDMETHODIMP GetClassID(CLSID* id) override {
    *id = CLSID_NULL;
    return S_OK;
  }
  STDMETHODIMP IsDirty() override { return S_FALSE; }
  STDMETHODIMP Load(IStream*) override { return E_NOTIMPL; }
  STDMETHODIMP Save(IStream*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP InitNew() override { return S_OK; }
  STDMETHODIMP GetWindow(HWND* w) override {
    *w = nullptr;
    return E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
};

// A minimal outer object that aggregates a Thing and asks it for everything it lacks itself.
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

class ObjectTest : public testing::Test {
 protected:
  void SetUp() override {
    finalReleases = 0;
    constructResult = S_OK;
  }
};

TEST_F(ObjectTest, PlainObjectAnswersItsMapAndHoldsTheModule) {
  const LONG before = activex::ModuleLockCount();
  ComPtr<IPersist> persist;
  ASSERT_EQ(activex::CreateInstance<Thing>(nullptr, IID_IPersist, persist.put_void()), S_OK);
  EXPECT_EQ(activex::ModuleLockCount(), before + 1);

  ComPtr<IOleWindow> window;
  EXPECT_EQ(persist.As(window), S_OK);
  ComPtr<IUnknown> a, b;
  ASSERT_EQ(persist.As(a), S_OK);
  ASSERT_EQ(window.As(b), S_OK);
  EXPECT_EQ(a, b) << "one identity through every interface";
  ComPtr<IDispatch> none;
  EXPECT_EQ(persist.As(none), E_NOINTERFACE);
  EXPECT_EQ(none.get(), nullptr);

  persist = nullptr;
  window = nullptr;
  a = nullptr;
  EXPECT_EQ(finalReleases, 0);
  b = nullptr;
  EXPECT_EQ(finalReleases, 1);
  EXPECT_EQ(activex::ModuleLockCount(), before);
}

TEST_F(ObjectTest, NegativeFinalConstructDestroysAndFails) {
  const LONG before = activex::ModuleLockCount();
  constructResult = E_ACCESSDENIED;
  ComPtr<IPersist> persist;
  EXPECT_EQ(activex::CreateInstance<Thing>(nullptr, IID_IPersist, persist.put_void()),
            E_ACCESSDENIED);
  EXPECT_EQ(persist.get(), nullptr);
  EXPECT_EQ(activex::ModuleLockCount(), before);

  constructResult = S_FALSE;  // not negative: a success
  EXPECT_EQ(activex::CreateInstance<Thing>(nullptr, IID_IPersist, persist.put_void()), S_OK);
}

TEST_F(ObjectTest, AggregatedObjectDelegatesToTheOuterObject) {
  Outer outer;
  ComPtr<IPersist> refused;
  EXPECT_EQ(activex::CreateInstance<Thing>(&outer, IID_IPersist, refused.put_void()),
            CLASS_E_NOAGGREGATION);

  ASSERT_EQ(activex::CreateInstance<Thing>(&outer, IID_IUnknown, outer.inner.put_void()), S_OK);
  ComPtr<IOleWindow> window;
  ASSERT_EQ(outer.QueryInterface(IID_IOleWindow, window.put_void()), S_OK);
  const ULONG refsBefore = outer.refs;
  window->AddRef();
  EXPECT_EQ(outer.refs, refsBefore + 1) << "the inner object's AddRef counts on the outer";
  window->Release();
  ComPtr<IUnknown> identity;
  ASSERT_EQ(window->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
  identity = nullptr;
  window = nullptr;
  outer.inner = nullptr;
  EXPECT_EQ(finalReleases, 1);
}

}  // namespace
